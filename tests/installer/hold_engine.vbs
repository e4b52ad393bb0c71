' Loads the engine through the control, says so, and keeps it loaded until the file GO exists (at most
' 600 looks); then computes once more and prints DONE.   cscript //nologo hold_engine.vbs GO
' Wine's script host has no WScript.Sleep: a short program run to its end paces the looks instead.
Option Explicit
Dim control, files, shell, looks
Set control = CreateObject("QTVChecksum100.QTVChecksum")
Set files = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
WScript.Echo "LOADED " & control.MD5String("abc", 3)
looks = 0
Do While Not files.FileExists(WScript.Arguments(0)) And looks < 600
  shell.Run "cmd /c exit", 0, True
  looks = looks + 1
Loop
WScript.Echo "AGAIN " & control.MD5String("abc", 3)
WScript.Echo "DONE"

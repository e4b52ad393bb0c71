' An error the control does not handle reaches the script as Err.Number 70 with its description. The
' harness starts this script with TEMP and TMP naming a folder in which this script puts a regular file
' called QTVSoftware where the engine folder belongs, so the engine folder cannot be created.
Option Explicit
Dim control, fso, temp, expected, result
Set fso = CreateObject("Scripting.FileSystemObject")
temp = CreateObject("WScript.Shell").Environment("Process")("TEMP")
If Not fso.FolderExists(temp) Then fso.CreateFolder temp
If fso.FolderExists(temp & "\QTVSoftware") Then WScript.Echo "FAIL the engine folder exists already"
If Not fso.FileExists(temp & "\QTVSoftware") Then fso.CreateTextFile(temp & "\QTVSoftware").Close
expected = "Unable to create the destination folder " & temp & "\QTVSoftware\"

Set control = CreateObject("QTVChecksum100.QTVChecksum")
Sub ExpectError70(what)
  If Err.Number <> 70 Then WScript.Echo "FAIL " & what & ": Err.Number " & Err.Number & " instead of 70"
  If Err.Description <> expected Then
    WScript.Echo "FAIL " & what & ": [" & Err.Description & "] instead of [" & expected & "]"
  End If
  If result <> "" Then WScript.Echo "FAIL " & what & ": returned [" & result & "]"
  Err.Clear
End Sub

On Error Resume Next
result = control.MD5String("abc", 3)
ExpectError70 "MD5String"
' File methods make the engine ready before they look at the name: the same error, and no event.
result = control.SHA1File("")
ExpectError70 "SHA1File"
On Error GoTo 0
WScript.Echo "DONE"

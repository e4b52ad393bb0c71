' Prints the bitness of the script host and the five checksums of a text and of a file, through the
' control's ProgID, then DONE.   cscript //nologo by_progid.vbs TEXT FILE
Option Explicit
Dim control, text, file
Set control = CreateObject("QTVChecksum100.QTVChecksum")
text = WScript.Arguments(0)
file = WScript.Arguments(1)
WScript.Echo "host " & CreateObject("WScript.Shell").Environment("Process")("PROCESSOR_ARCHITECTURE")
WScript.Echo control.CRC32String(text, Len(text)) & " " & control.Adler32String(text, Len(text)) & " " & _
  control.MD5String(text, Len(text)) & " " & control.SHA1String(text, Len(text)) & " " & _
  control.SHA256String(text, Len(text))
WScript.Echo control.CRC32File(file) & " " & control.Adler32File(file) & " " & control.MD5File(file) & " " & _
  control.SHA1File(file) & " " & control.SHA256File(file)
WScript.Echo "DONE"

' Computes the five checksums of a text and of a file with the QTV Checksum control.
'
'   cscript //nologo checksum.vbs ["text" [file]]
'
' Without arguments it uses the text "The quick brown fox jumps over the lazy dog" and this script's own
' file. Register the control first: regsvr32 qtvchecksums100.ocx
'
' A name that is empty, or a file that cannot be read, is reported through the control's ErrorCode
' event and the method returns the empty text; scripts run by cscript do not receive events, so an empty
' result is what they see. A failure the control does not handle itself, such as error 70 (the engine
' folder under the temporary folder cannot be created), arrives as a script error.
Option Explicit

Dim control, text, file
Set control = CreateObject("QTVChecksum100.QTVChecksum")
text = "The quick brown fox jumps over the lazy dog"
file = WScript.ScriptFullName
If WScript.Arguments.Count > 0 Then text = WScript.Arguments(0)
If WScript.Arguments.Count > 1 Then file = WScript.Arguments(1)

' The second argument of the text methods is the number of bytes to checksum, counted in the system's
' ANSI code page: Len(text) for single-byte code pages, fewer to checksum only the start of the text.
Sub ShowText(control, text)
  Dim length : length = Len(text)
  WScript.Echo "Text """ & text & """"
  WScript.Echo "  CRC-32   " & control.CRC32String(text, length)
  WScript.Echo "  Adler-32 " & control.Adler32String(text, length)
  WScript.Echo "  MD5      " & control.MD5String(text, length)
  WScript.Echo "  SHA-1    " & control.SHA1String(text, length)
  WScript.Echo "  SHA-256  " & control.SHA256String(text, length)
End Sub

Sub ShowFile(control, file)
  WScript.Echo "File " & file
  WScript.Echo "  CRC-32   " & control.CRC32File(file)
  WScript.Echo "  Adler-32 " & control.Adler32File(file)
  WScript.Echo "  MD5      " & control.MD5File(file)
  WScript.Echo "  SHA-1    " & control.SHA1File(file)
  WScript.Echo "  SHA-256  " & control.SHA256File(file)
End Sub

WScript.Echo control.ControlName
On Error Resume Next
ShowText control, text
If Err.Number = 0 Then ShowFile control, file
If Err.Number <> 0 Then
  WScript.Echo "Error " & Err.Number & ": " & Err.Description
  WScript.Quit 1
End If

' Every method of the control, called through its programmatic identifier as a script host calls it.
' Prints a FAIL line for each wrong result and DONE at the end; a script error ends it before DONE.
Option Explicit
Dim control, fso, shell, folder, abcFile, emptyFile, missing, stream, result
Set control = CreateObject("QTVChecksum100.QTVChecksum")
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
folder = fso.GetParentFolderName(WScript.ScriptFullName)

Sub Check(what, actual, expected)
  If VarType(actual) <> vbString Then
    WScript.Echo "FAIL " & what & ": a " & TypeName(actual) & " instead of a text"
  ElseIf actual <> expected Then
    WScript.Echo "FAIL " & what & ": [" & actual & "] instead of [" & expected & "]"
  End If
End Sub

' The file "abc" has no line end; the empty file has no bytes at all.
abcFile = folder & "\vbs-abc.txt"
Set stream = fso.CreateTextFile(abcFile, True)
stream.Write "abc"
stream.Close
emptyFile = folder & "\vbs-empty.txt"
fso.CreateTextFile(emptyFile, True).Close

' Results of a text method for "abc", for "abc" with Length 0, for the first 3 bytes of "abcdef", for the
' empty text, and for Chr(252), u-umlaut in code page 1252 (the one byte FC).
Sub CheckText(method, results, abc, none, fc)
  Dim expected, what, i
  expected = Array(abc, none, abc, none, fc)
  what = Array(" abc", " with Length 0", " of the first 3 bytes", " of the empty text", " u-umlaut")
  For i = 0 To 4
    Check method & what(i), results(i), expected(i)
  Next
End Sub

' Results of a file method for the file "abc", the empty file, a missing file and the empty name.
Sub CheckFile(method, results, abc, none)
  Dim expected, what, i
  expected = Array(abc, none, "", "")
  what = Array(" abc", " of an empty file", " of a missing file", " of the empty name")
  For i = 0 To 3
    Check method & what(i), results(i), expected(i)
  Next
End Sub

' Script hosts here cannot call a method by a computed name, so every call is written out.
missing = folder & "\no such file"
CheckText "CRC32String", Array(control.CRC32String("abc", 3), control.CRC32String("abc", 0), _
  control.CRC32String("abcdef", 3), control.CRC32String("", 0), control.CRC32String(Chr(252), 1)), _
  "352441c2", "00000000", "660951ba"
CheckText "MD5String", Array(control.MD5String("abc", 3), control.MD5String("abc", 0), _
  control.MD5String("abcdef", 3), control.MD5String("", 0), control.MD5String(Chr(252), 1)), _
  "900150983cd24fb0d6963f7d28e17f72", "d41d8cd98f00b204e9800998ecf8427e", "cf0eece3a23b680f6266a21aabba4d32"
CheckText "SHA1String", Array(control.SHA1String("abc", 3), control.SHA1String("abc", 0), _
  control.SHA1String("abcdef", 3), control.SHA1String("", 0), control.SHA1String(Chr(252), 1)), _
  "a9993e364706816aba3e25717850c26c9cd0d89d", "da39a3ee5e6b4b0d3255bfef95601890afd80709", _
  "ab461f6b8a6842a473257a2561c1fbdf91bdfe77"
CheckText "SHA256String", Array(control.SHA256String("abc", 3), control.SHA256String("abc", 0), _
  control.SHA256String("abcdef", 3), control.SHA256String("", 0), control.SHA256String(Chr(252), 1)), _
  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", _
  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", _
  "98722e2ebed8ed3d3652e11e4181f0dccc1ce7d192d8f1db370af8ec4a4e174a"
CheckText "Adler32String", Array(control.Adler32String("abc", 3), control.Adler32String("abc", 0), _
  control.Adler32String("abcdef", 3), control.Adler32String("", 0), control.Adler32String(Chr(252), 1)), _
  "024d0127", "00000001", "00fd00fd"

CheckFile "CRC32File", Array(control.CRC32File(abcFile), control.CRC32File(emptyFile), _
  control.CRC32File(missing), control.CRC32File("")), "352441c2", "00000000"
CheckFile "MD5File", Array(control.MD5File(abcFile), control.MD5File(emptyFile), _
  control.MD5File(missing), control.MD5File("")), "900150983cd24fb0d6963f7d28e17f72", "d41d8cd98f00b204e9800998ecf8427e"
CheckFile "SHA1File", Array(control.SHA1File(abcFile), control.SHA1File(emptyFile), _
  control.SHA1File(missing), control.SHA1File("")), "a9993e364706816aba3e25717850c26c9cd0d89d", _
  "da39a3ee5e6b4b0d3255bfef95601890afd80709"
CheckFile "SHA256File", Array(control.SHA256File(abcFile), control.SHA256File(emptyFile), _
  control.SHA256File(missing), control.SHA256File("")), _
  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", _
  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"
CheckFile "Adler32File", Array(control.Adler32File(abcFile), control.Adler32File(emptyFile), _
  control.Adler32File(missing), control.Adler32File("")), "024d0127", "00000001"
Check "ControlName", control.ControlName, "QTV Checksum OCX 1.0.0"

' A Length past the text counts the text's bytes; a negative one (True is -1) is an invalid argument,
' error 5, and gives no result at all.
Check "MD5String abc with Length 4", control.MD5String("abc", 4), "900150983cd24fb0d6963f7d28e17f72"
Check "MD5String empty with Length 5", control.MD5String("", 5), "d41d8cd98f00b204e9800998ecf8427e"
Dim length
For Each length In Array(-1, True, -2147483648)
  result = "unchanged"
  On Error Resume Next
  result = control.SHA1String("abc", length)
  If Err.Number <> 5 Then WScript.Echo "FAIL SHA1String with Length " & length & ": error " & Err.Number
  On Error GoTo 0
  If result <> "unchanged" Then WScript.Echo "FAIL SHA1String with Length " & length & " gave [" & result & "]"
Next

' About shows a modal box; a helper leaves a marker and closes it, and About then returns the empty value.
If fso.FileExists(folder & "\vbs-about-shown") Then fso.DeleteFile folder & "\vbs-about-shown"
shell.Run """" & folder & "\close_about_box.exe"" """ & folder & "\vbs-about-shown""", 0, False
result = control.About
If Not IsEmpty(result) Then WScript.Echo "FAIL About returned a " & TypeName(result)
If Not fso.FileExists(folder & "\vbs-about-shown") Then WScript.Echo "FAIL About returned without its box"
WScript.Echo "DONE"

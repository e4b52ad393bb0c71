// Every method of the control, called through its programmatic identifier from JScript. Prints a FAIL
// line for each wrong result and DONE at the end; a script error ends it before DONE.
var control = new ActiveXObject("QTVChecksum100.QTVChecksum");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var folder = fso.GetParentFolderName(WScript.ScriptFullName);

function check(what, actual, expected) {
  if (typeof actual !== "string") WScript.Echo("FAIL " + what + ": a " + typeof actual + " instead of a text");
  else if (actual !== expected) WScript.Echo("FAIL " + what + ": [" + actual + "] instead of [" + expected + "]");
}

var abcFile = folder + "\\js-abc.txt";
var stream = fso.CreateTextFile(abcFile, true);
stream.Write("abc");
stream.Close();
var emptyFile = folder + "\\js-empty.txt";
fso.CreateTextFile(emptyFile, true).Close();

// Algorithm, checksum of "abc", of no input, and of the one byte FC (u-umlaut in code page 1252).
var algorithms = [
  ["CRC32", "352441c2", "00000000", "660951ba"],
  ["MD5", "900150983cd24fb0d6963f7d28e17f72", "d41d8cd98f00b204e9800998ecf8427e", "cf0eece3a23b680f6266a21aabba4d32"],
  ["SHA1", "a9993e364706816aba3e25717850c26c9cd0d89d", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
   "ab461f6b8a6842a473257a2561c1fbdf91bdfe77"],
  ["SHA256", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
   "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
   "98722e2ebed8ed3d3652e11e4181f0dccc1ce7d192d8f1db370af8ec4a4e174a"],
  ["Adler32", "024d0127", "00000001", "00fd00fd"]
];
for (var i = 0; i < algorithms.length; ++i) {
  var a = algorithms[i], text = a[0] + "String", file = a[0] + "File";
  check(text + " abc", control[text]("abc", 3), a[1]);
  check(text + " with Length 0", control[text]("abc", 0), a[2]);
  check(text + " of the first 3 bytes", control[text]("abcdef", 3), a[1]);
  check(text + " of the empty text", control[text]("", 0), a[2]);
  check(text + " u-umlaut", control[text]("\u00fc", 1), a[3]);
  check(file + " abc", control[file](abcFile), a[1]);
  check(file + " of an empty file", control[file](emptyFile), a[2]);
  check(file + " of a missing file", control[file](folder + "\\no such file"), "");
  check(file + " of the empty name", control[file](""), "");
}
check("ControlName", control.ControlName(), "QTV Checksum OCX 1.0.0");

// About shows a modal box; a helper leaves a marker and closes it, and About then returns nothing.
var marker = folder + "\\js-about-shown";
if (fso.FileExists(marker)) fso.DeleteFile(marker);
shell.Run("\"" + folder + "\\close_about_box.exe\" \"" + marker + "\"", 0, false);
var result = control.About();
if (typeof result !== "undefined") WScript.Echo("FAIL About returned a " + typeof result);
if (!fso.FileExists(marker)) WScript.Echo("FAIL About returned without its box");
WScript.Echo("DONE");

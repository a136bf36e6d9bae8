// JScript from a script: the fields of a record set walked by JScript's
// Enumerator, which asks for _NewEnum as a method. Argument: the database
// file as its driver opens it.
var failures = 0;
function check(what, got, expected) {
    if (got === expected) {
        WScript.Echo("ok   " + what);
    } else {
        WScript.Echo("FAIL " + what + ": " + got + ", expected " + expected);
        failures++;
    }
}

var db = new ActiveXObject("VXBComboServer.VXComboDB");
db.Init(0);
db.AddComboList("Driver=SQLite3;Database=" + WScript.Arguments(0), "Kunden", "Name", "Nr",
    "Aktiv=1");
var rs = db.ComboList("Kunden");
var names = "";
for (var e = new Enumerator(rs.Fields); !e.atEnd(); e.moveNext()) {
    names += e.item().Name + ";";
}
check("new Enumerator(rs.Fields)", names, "Name;Nr;");
WScript.Echo("done");
WScript.Quit(failures);

// JScript from a script: the fields of a record set walked by JScript's
// Enumerator, which asks for _NewEnum as a method, and the members that take
// optional arguments and arrays, called as JScript calls them. Argument: the
// database file as its driver opens it.
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

// GetRows's array reaches JScript through VBArray: fields x records.
var rows = new VBArray(rs.GetRows(-1, 1, "Nr"));
check("GetRows(-1, adBookmarkFirst, \"Nr\")", rows.ubound(1) + "/" + rows.ubound(2), "0/3");
check("its last value", rows.getItem(0, 3), 1005);
rs.Filter = "Name LIKE 'M*' OR Nr = 1001";
check("Filter with LIKE and OR", rs.RecordCount, 2);
rs.Filter = 0;
rs.Find("Nr > 1002", 0, 1, 1);
check("Find from the first record", rs("Nr").Value, 1004);
var number = 0;
try {
    rs.Delete();
} catch (error) {
    number = error.number & 0xFFFF;
}
check("Delete on a read-only record set", number, 3251);
WScript.Echo("done");
// Ends by itself when all went well: the script engine then releases every
// object it holds. WScript.Quit can end the process first, and a server
// whose client ended holding its objects is not told under Wine.
if (failures != 0) {
    WScript.Quit(failures);
}

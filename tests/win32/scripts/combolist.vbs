' VXComboDB from a script: two lists of the example database, read through
' the record set that ComboList hands out, as a script reads an ADO record
' set. Argument: the database file as its driver opens it.
' Check and failures come from check.vbs, which run puts before it.

Dim connect : connect = "Driver=SQLite3;Database=" & WScript.Arguments(0)
Dim db : Set db = CreateObject("VXBComboServer.VXComboDB")
db.Init 0
db.AddComboList connect, "Kunden", "Name", "Nr", "Aktiv=1"
db.AddComboList connect, "Zahlungsarten", "Bezeichnung", "Kuerzel"

' Asked before the timer ran: the lists load at once.
Dim rs : Set rs = db.ComboList("Kunden")
Check "RecordCount", rs.RecordCount, CLng(4)
Check "Fields.Count", rs.Fields.Count, CLng(2)
Check "rs.Fields(0).Name", rs.Fields(0).Name, "Name"
Check "rs.Fields(""Nr"").Value", rs.Fields("Nr").Value, CLng(1001)
' "Bäckerei Öztürk": Wine's VBScript has no ChrW or AscW to spell it with, but
' its length shows the UTF-16 text whole.
Check "rs(0)", Left(rs(0), 1) & Len(rs(0)) & Right(rs(0), 2), "B15rk"
Check "rs(""nr"").Type", rs("nr").Type, CLng(3)
Check "BOF on the first record", rs.BOF, False
Dim f, names
For Each f In rs.Fields
    names = names & f.Name & ";"
Next
Check "For Each f In rs.Fields", names, "Name;Nr;"

Dim numbers : numbers = ""
Do Until rs.EOF
    numbers = numbers & rs.Fields("Nr") & ";"
    rs.MoveNext
Loop
Check "Do Until rs.EOF ... rs.MoveNext ... Loop", numbers, "1001;1002;1004;1005;"

Dim number
On Error Resume Next
rs.MoveNext
number = Err.Number
On Error GoTo 0
Check "MoveNext at EOF", number, CLng(3021)

rs.MoveFirst
Dim rows : rows = rs.GetRows()
Check "GetRows: fields in the first dimension", UBound(rows, 1), CLng(1)
Check "GetRows: records in the second", UBound(rows, 2), CLng(3)
Check "GetRows: rows(1, 3)", rows(1, 3), CLng(1005)
Check "EOF after GetRows", rs.EOF, True

Dim payments : Set payments = db.ComboList("Zahlungsarten")
Check "second list", payments(0) & "/" & payments(1), "Barzahlung/BAR"

' A list added later loads with the next ComboList; NULL reads as Null.
db.AddComboList connect, "Artikel", "Bezeichnung", "Preis"
Dim articles : Set articles = db.ComboList("Artikel")
Check "a price", TypeName(articles("Preis").Value), "Double"
articles.MoveLast
Check "AbsolutePosition of the last", articles.AbsolutePosition, CLng(4)
Check "a missing price is Null", IsNull(articles("Preis").Value), True
Check "its ActualSize", articles("Preis").ActualSize, CLng(0)
Set articles = Nothing

Check "a name never defined gives Nothing", db.ComboList("Lieferanten") Is Nothing, True

On Error Resume Next
db.Refresh "Lieferanten"
number = Err.Number
Dim source : source = Err.Source
On Error GoTo 0
Check "Refresh of a name never defined", Hex(number), "80041389"
Check "its source", source, "VXBComboServer"

' More arguments than a member takes: error 450.
On Error Resume Next
db.Init 0, 1
number = Err.Number
On Error GoTo 0
Check "Init with an extra argument", number, CLng(450)

rs.Close
Check "State after Close", rs.State, CLng(0)
' The default member of a closed record set fails as every member does.
On Error Resume Next
Dim closedName : closedName = rs("Name")
number = Err.Number
source = Err.Source
On Error GoTo 0
Check "rs(""Name"") after Close", number, CLng(3704)
Check "its source", source, "VXBComboServer"
Check "a new ComboList after Close", db.ComboList("Kunden").RecordCount, CLng(4)
Set rs = Nothing
Set payments = Nothing
Set db = Nothing
' Wine's cscript ends a script at a run-time error silently, with status 0:
' the runner looks for this line.
WScript.Echo "done"
WScript.Quit failures

' The record set as a combo-filling program reads a detached, read-only ADO
' record set: Move from a start, Bookmark, GetRows with all its arguments,
' Clone, Supports, the fields' sizes, GetString, Sort, Filter and Find, with
' ADO's errors.
' Argument: the database file as its driver opens it.

Dim connect : connect = "Driver=SQLite3;Database=" & WScript.Arguments(0)
Dim db : Set db = CreateObject("VXBComboServer.VXComboDB")
db.Init 0
db.AddComboList connect, "Kunden", "Name", "Nr", "Aktiv=1"
Dim rs : Set rs = db.ComboList("Kunden")
Dim number, source
Check "TypeName", TypeName(rs), "Recordset"

rs.Move 2
Check "Move 2", rs("Nr").Value, CLng(1004)
Dim mark : mark = rs.Bookmark
Check "a bookmark", TypeName(mark), "Double"
rs.MoveFirst
rs.Move 1, mark
Check "Move 1 from a bookmark", rs("Nr").Value, CLng(1005)
rs.Bookmark = mark
Check "back to the bookmark", rs("Nr").Value, CLng(1004)
rs.Move -10
Check "Move before the first", rs.BOF, True
On Error Resume Next
rs.Move -1
number = Err.Number
source = Err.Source
On Error GoTo 0
Check "Move back from BOF", number, CLng(3021)
Check "its source", source, "VXBComboServer"
On Error Resume Next
rs.Bookmark = 99
number = Err.Number
On Error GoTo 0
Check "a bookmark never given", number, CLng(3001)

Dim rows : rows = rs.GetRows(2, 1)
Check "GetRows(2, adBookmarkFirst): records", UBound(rows, 2), CLng(1)
Check "GetRows(2, adBookmarkFirst): rows(1, 1)", rows(1, 1), CLng(1002)
rows = rs.GetRows(-1, mark, "Nr")
Check "GetRows from a bookmark, one field", UBound(rows, 1) & "/" & UBound(rows, 2), "0/1"
Check "its first value", rows(0, 0), CLng(1004)
Check "EOF after GetRows", rs.EOF, True
rows = rs.GetRows(1, 1, Array("Nr", 0))
Check "GetRows with an array of fields", rows(0, 0), CLng(1001)
Check "in its order", UBound(rows, 1), CLng(1)
On Error Resume Next
rows = rs.GetRows(1, 1, "Lieferant")
number = Err.Number
On Error GoTo 0
Check "GetRows of a field not there", number, CLng(3265)

rs.MoveFirst
Dim copy : Set copy = rs.Clone()
copy.Bookmark = mark
Check "a clone reads the bookmarks", copy("Nr").Value, CLng(1004)
Check "and keeps its own cursor", rs("Nr").Value, CLng(1001)
Set copy = Nothing

Check "Supports adBookmark", rs.Supports(&H2000), True
Check "Supports adMovePrevious Or adApproxPosition", rs.Supports(&H4200), True
Check "Supports adAddNew", rs.Supports(&H1000400), False

Check "DefinedSize of an integer", rs("Nr").DefinedSize, CLng(4)
Check "its Precision", rs("Nr").Precision, CByte(10)
Check "its NumericScale", rs("Nr").NumericScale, CByte(255)
Check "its Attributes", rs("Nr").Attributes, CLng(&H70)
Check "Attributes of a text", rs("Name").Attributes, CLng(&H60)

rs.MoveLast
Dim text : text = rs.GetString()
Check "GetString's defaults", Right(text, 6), Chr(9) & "1005" & Chr(13)
Check "EOF after GetString", rs.EOF, True
rs.Move -2
text = rs.GetString(2, 1, ";", "|", "-")
Check "GetString with delimiters", Right(text, 6), ";1004|"

rs.Sort = "Nr DESC"
Check "Sort", rs("Nr").Value, CLng(1005)
Check "Sort reads back", rs.Sort, "Nr DESC"
Dim other : Set other = db.ComboList("Kunden")
Check "another copy keeps its order", other("Nr").Value, CLng(1001)
rs.Filter = "Nr > 1001 AND Nr < 1005"
Check "Filter", rs.RecordCount, CLng(2)
Check "filtered and sorted", rs("Nr").Value, CLng(1004)
Check "another copy keeps all its records", other.RecordCount, CLng(4)
rs.Filter = Array(mark)
Check "Filter by bookmarks", rs.RecordCount & "/" & rs("Nr").Value, "1/1004"
rs.Filter = 0
Check "adFilterNone", rs.RecordCount, CLng(4)
On Error Resume Next
rs.Filter = "Lieferant = 1"
number = Err.Number
On Error GoTo 0
Check "Filter by a field not there", number, CLng(3265)
rs.Sort = ""
rs.Find "Nr >= 1002"
Check "Find", rs("Nr").Value, CLng(1002)
rs.Find "Nr >= 1002", 1
Check "Find, skipping the current record", rs("Nr").Value, CLng(1004)
rs.Find "Nr < 1002", 0, -1
Check "Find backward", rs("Nr").Value, CLng(1001)
rs.Find "Nr = 1"
Check "Find without a match stops at EOF", rs.EOF, True
On Error Resume Next
rs.Find "Nr = 1 AND Nr = 2", 0, 1, 1
number = Err.Number
On Error GoTo 0
Check "Find with two criteria", number, CLng(3001)
Set other = Nothing

On Error Resume Next
rs.AddNew
number = Err.Number
On Error GoTo 0
Check "AddNew on a read-only record set", number, CLng(3251)
rs.MoveFirst
On Error Resume Next
rs("Name") = "Neu"
number = Err.Number
On Error GoTo 0
Check "writing a field", number, CLng(3251)
Check "which keeps its value", Len(rs("Name").Value) & Right(rs("Name").Value, 2), "15rk"

Set rs = Nothing
Set db = Nothing
WScript.Echo "done"
WScript.Quit failures

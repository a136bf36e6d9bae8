' CreateObject of a class that cannot be created (its server fails the
' creation, or it is not registered): the script sees error 429. The first
' argument names the programmatic identifier.
' Check and failures come from check.vbs, which run puts before it.

Dim progId : progId = WScript.Arguments(0)
On Error Resume Next
Dim made : Set made = CreateObject(progId)
Dim number : number = Err.Number
Dim description : description = Err.Description
On Error GoTo 0
Check "Err.Number of CreateObject(""" & progId & """)", number, CLng(429)
WScript.Echo "     Err.Description """ & description & """"
WScript.Quit failures

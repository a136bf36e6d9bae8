' CreateObject of a class that cannot be created (its server fails the
' creation, or it is not registered): the script sees error 429. The first
' argument names the programmatic identifier.
Option Explicit
Dim failures : failures = 0

Sub Check(what, got, expected)
    If TypeName(got) = TypeName(expected) And got = expected Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what & ": " & TypeName(got) & " " & got & ", expected " & _
            TypeName(expected) & " " & expected
        failures = failures + 1
    End If
End Sub

Dim progId : progId = WScript.Arguments(0)
On Error Resume Next
Dim made : Set made = CreateObject(progId)
Dim number : number = Err.Number
Dim description : description = Err.Description
On Error GoTo 0
Check "Err.Number of CreateObject(""" & progId & """)", number, CLng(429)
WScript.Echo "     Err.Description """ & description & """"
WScript.Quit failures

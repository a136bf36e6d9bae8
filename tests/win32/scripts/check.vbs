' What every script of this folder starts with; run puts it before each one,
' since Wine's VBScript has no ExecuteGlobal to load it. Check prints one
' "ok" or "FAIL" line and counts the failures, which a script gives back as
' its exit status.
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


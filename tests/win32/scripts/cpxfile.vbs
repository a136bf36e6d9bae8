' CPXFile from a script: registers and removes the demo entry of the folder
' given as the first argument, with and without the optional arguments.
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

Dim folder : folder = WScript.Arguments(0)
Dim file : Set file = CreateObject("vxRegCPX.CPXFile")
Check "Register(demo.cpx, True)", file.Register(folder & "\demo.cpx", True), True
Check "UnRegisterFile(demo.cpx, True, True)", file.UnRegisterFile(folder & "\demo.cpx", True, True), True
Check "Register(demo.cpx, True, False)", file.Register(folder & "\demo.cpx", True, False), True
Check "UnRegister(TRXDemo, True)", file.UnRegister("TRXDemo", True), True
Check "Register(missing.cpx, True)", file.Register(folder & "\missing.cpx", True), False
Set file = Nothing
WScript.Quit failures

' CPXFile from a script: registers and removes the demo entry of the folder
' given as the first argument, with and without the optional arguments.
' Check and failures come from check.vbs, which run puts before it.

Dim folder : folder = WScript.Arguments(0)
Dim file : Set file = CreateObject("vxRegCPX.CPXFile")
Check "Register(demo.cpx, True)", file.Register(folder & "\demo.cpx", True), True
Check "UnRegisterFile(demo.cpx, True, True)", file.UnRegisterFile(folder & "\demo.cpx", True, True), True
Check "Register(demo.cpx, True, False)", file.Register(folder & "\demo.cpx", True, False), True
Check "UnRegister(TRXDemo, True)", file.UnRegister("TRXDemo", True), True
Check "Register(missing.cpx, True)", file.Register(folder & "\missing.cpx", True), False
Set file = Nothing
WScript.Quit failures

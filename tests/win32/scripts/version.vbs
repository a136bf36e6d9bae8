' Version from a script: the example record, the coupling of Build and
' BuildDate, and an overflowing put.
' Check and failures come from check.vbs, which run puts before it.

Function DayText(d)
    DayText = Right("0" & Day(d), 2) & "." & Right("0" & Month(d), 2) & "." & Year(d)
End Function

Dim v : Set v = CreateObject("vxTRXVer.Version")
Check "Version", v.Version, "4.1"
Check "Build", v.Build, CLng(7743)
Check "BuildIndex", v.BuildIndex, CLng(2)
Check "BuildDate", DayText(v.BuildDate), "12.12.2019"
Check "RequiredDBVersion", v.RequiredDBVersion, "4010"

v.Build = 1
Check "BuildDate after Build = 1", DayText(v.BuildDate), "01.10.1998"
v.BuildDate = DateSerial(2000, 1, 1)
Check "Build after BuildDate = 01.01.2000", v.Build, CLng(458)
v.BuildIndex = 9
Check "Build after BuildIndex = 9", v.Build, CLng(458)

' A number beyond the 32-bit range: error 6, and Build stays.
On Error Resume Next
v.Build = 3000000000
Dim number : number = Err.Number
Dim source : source = Err.Source
Dim description : description = Err.Description
On Error GoTo 0
Check "Err.Number after Build = 3000000000", number, CLng(6)
Check "Build after the overflow", v.Build, CLng(458)
WScript.Echo "     Err.Source """ & source & """, Err.Description """ & description & """"
Set v = Nothing
WScript.Quit failures

#include "combolist/com/RecordSetInterfaces.h"

namespace trx {

std::vector<ComInterface> RecordSetInterfaces() {
    const InterfaceFlags flags{.dual = true, .hidden = false, .nonExtensible = true};
    return {
        {u"IComboField",
         u"{F7D9836E-A45F-4ADF-88A1-1DCFE888A486}",
         u"One field of the current record. Value is the default member.",
         flags,
         {
             ComGet(0x0, u"Value", u"VARIANT"),
             ComGet(0x1, u"Name", u"BSTR"),
             ComGet(0x2, u"Type", u"long"),
             ComGet(0x3, u"ActualSize", u"long"),
             ComGet(0x4, u"DefinedSize", u"long"),
             ComGet(0x5, u"Precision", u"unsigned char"),
             ComGet(0x6, u"NumericScale", u"unsigned char"),
             ComGet(0x7, u"Attributes", u"long"),
         }},
        {u"IComboFields",
         u"{9AB49E70-B65F-4E9F-926E-708F1B86D8F2}",
         u"The fields of a record set; Item, by position from 0 or by name, is the default member.",
         flags,
         {
             ComGet(0x0, u"Item", u"IComboField*", {{u"VARIANT", u"Index"}}),
             ComGet(0x1, u"Count", u"long"),
             ComGet(0xFFFFFFFC, u"_NewEnum", u"IUnknown*", {}, u"restricted, hidden"),
         }},
        {u"IComboRecordSet",
         u"{43FEC5A6-FCF7-401E-B3BD-04D309F27701}",
         u"A detached, read-only record set with a cursor of its own. Fields is the default "
         u"member, so rs(0) and rs(\"Nr\") read a field.",
         flags,
         {
             ComGet(0x0, u"Fields", u"IComboFields*"),
             ComGet(0x1, u"EOF", u"VARIANT_BOOL"),
             ComGet(0x2, u"BOF", u"VARIANT_BOOL"),
             ComGet(0x3, u"RecordCount", u"long"),
             ComGet(0x4, u"AbsolutePosition", u"long"),
             ComPut(0x4, u"AbsolutePosition", {u"long", u"Position"}),
             ComGet(0x5, u"State", u"long"),
             ComMethod(0x6, u"MoveFirst"),
             ComMethod(0x7, u"MoveNext"),
             ComMethod(0x8, u"MovePrevious"),
             ComMethod(0x9, u"MoveLast"),
             ComMethod(0xA, u"GetRows",
                       {{u"long", u"Rows", u"-1"},
                        {u"VARIANT", u"Start", {}, true},
                        {u"VARIANT", u"Fields", {}, true}},
                       u"VARIANT"),
             ComMethod(0xB, u"Close"),
             ComMethod(0xC, u"Move", {{u"long", u"NumRecords"}, {u"VARIANT", u"Start", {}, true}}),
             ComGet(0xD, u"Bookmark", u"VARIANT"),
             ComPut(0xD, u"Bookmark", {u"VARIANT", u"Bookmark"}),
             ComMethod(0xE, u"Clone", {{u"long", u"LockType", u"-1"}}, u"IComboRecordSet*"),
             ComMethod(0xF, u"Supports", {{u"long", u"CursorOptions"}}, u"VARIANT_BOOL"),
             ComMethod(0x10, u"GetString",
                       {{u"long", u"StringFormat", u"2"},
                        {u"long", u"NumRows", u"-1"},
                        {u"VARIANT", u"ColumnDelimiter", {}, true},
                        {u"VARIANT", u"RowDelimiter", {}, true},
                        {u"VARIANT", u"NullExpr", {}, true}},
                       u"BSTR"),
             ComGet(0x11, u"Sort", u"BSTR"),
             ComPut(0x11, u"Sort", {u"BSTR", u"Sort"}),
             ComGet(0x12, u"Filter", u"VARIANT"),
             ComPut(0x12, u"Filter", {u"VARIANT", u"Criteria"}),
             ComMethod(0x13, u"Find",
                       {{u"BSTR", u"Criteria"},
                        {u"long", u"SkipRecords", u"0"},
                        {u"long", u"SearchDirection", u"1"},
                        {u"VARIANT", u"Start", {}, true}}),
         }},
    };
}

}  // namespace trx

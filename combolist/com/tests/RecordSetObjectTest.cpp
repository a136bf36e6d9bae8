// The record set object in-process, on rows made here: the cases that the
// example database does not hold (an empty list, every value type, a wide
// integer), the cursor at its ends, a closed record set, and late-bound
// calls as scripts make them.

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VXBComboServer.h"
#include "automation/com/ComValue.h"
#include "combolist/com/RecordSetObject.h"
#include "common/RecordSet.h"
#include "common/Text.h"

namespace trx::test {
namespace {

class RecordSetObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ITypeLib* library = nullptr;
        const std::wstring path = std::filesystem::path(TRX_VXBCBOSV_EXE).wstring();
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
        types_ = std::make_shared<const RecordSetTypes>(library);
        library->Release();
        ASSERT_TRUE(types_->Complete());
    }
    void TearDown() override {
        if (rs_ != nullptr) {
            rs_->Release();
        }
        types_.reset();
        CoUninitialize();
    }

    Recordset* Open(RecordSetRef rows) {
        IDispatch* object = MakeRecordSetObject(types_, std::move(rows), nullptr);
        object->QueryInterface(IID_Recordset, reinterpret_cast<void**>(&rs_));
        object->Release();
        return rs_;
    }

    // The value of a field of the current record, by position (of the
    // record set opened, or of another one).
    VARIANT Value(long column, Recordset* rs = nullptr) {
        VARIANT result;
        VariantInit(&result);
        IComboFields* fields = nullptr;
        IComboField* field = nullptr;
        VARIANT index;
        V_VT(&index) = VT_I4;
        V_I4(&index) = column;
        if (SUCCEEDED((rs != nullptr ? rs : rs_)->get_Fields(&fields)) &&
            SUCCEEDED(fields->get_Item(index, &field))) {
            last_ = field->get_Value(&result);
            field->Release();
        }
        if (fields != nullptr) {
            fields->Release();
        }
        return result;
    }

    // The first field's value as an integer; -1 when it is none.
    long FirstInteger(Recordset* rs = nullptr) {
        VARIANT v = Value(0, rs);
        return V_VT(&v) == VT_I4 ? V_I4(&v) : -1;
    }

    // A late-bound call of member id, as a script makes it.
    static HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
                          VARIANT* result, EXCEPINFO* exception = nullptr) {
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        VariantInit(result);
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception,
                              nullptr);
    }
    static DISPID IdOf(IDispatch* object, const wchar_t* name) {
        DISPID id = DISPID_UNKNOWN;
        object->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }

    std::shared_ptr<const RecordSetTypes> types_;
    Recordset* rs_ = nullptr;
    HRESULT last_ = S_OK;
};

// An optional argument left out, as a client's call passes it.
VARIANT Missing() {
    VARIANT missing;
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    return missing;
}

constexpr HRESULT kNoCurrentRecord = static_cast<HRESULT>(0x800A0BCDu);  // 3021
constexpr HRESULT kClosed = static_cast<HRESULT>(0x800A0E78u);           // 3704
constexpr HRESULT kReadOnly = static_cast<HRESULT>(0x800A0CB3u);         // 3251

TEST_F(RecordSetObjectTest, EachTypeAsTheVariantAClientExpects) {
    RecordSetBuilder builder;
    builder.AddField(u"Text", FieldType::Text);
    builder.AddField(u"Wide", FieldType::Integer);
    builder.AddField(u"Price", FieldType::Decimal);
    builder.AddField(u"Day", FieldType::Date);
    builder.AddField(u"Flag", FieldType::Boolean);
    builder.AddField(u"Bytes", FieldType::Binary);
    builder.AppendText(0, u"Öl");
    builder.AppendInteger(1, 1);
    builder.AppendText(2, u"12.50");
    builder.AppendDate(3, DateTime{2019, 12, 12, 6, 0, 0, 0});
    builder.AppendBoolean(4, true);
    const std::uint8_t bytes[] = {1, 2, 3};
    builder.AppendBinary(5, bytes, 3);
    builder.AppendNull(0);
    builder.AppendInteger(1, 5000000000LL);  // makes the whole field 64-bit
    builder.AppendNull(2);
    builder.AppendNull(3);
    builder.AppendNull(4);
    builder.AppendNull(5);
    Open(builder.Build());

    VARIANT v = Value(0);
    ASSERT_EQ(V_VT(&v), VT_BSTR);
    EXPECT_EQ(com::FromBstr(V_BSTR(&v)), u"Öl");
    VariantClear(&v);
    v = Value(1);
    ASSERT_EQ(V_VT(&v), VT_I8);
    EXPECT_EQ(V_I8(&v), 1);
    v = Value(2);
    ASSERT_EQ(V_VT(&v), VT_DECIMAL);
    double price = 0;
    VarR8FromDec(&V_DECIMAL(&v), &price);
    EXPECT_EQ(price, 12.5);
    v = Value(3);
    ASSERT_EQ(V_VT(&v), VT_DATE);
    EXPECT_EQ(V_DATE(&v), 43811.25);
    v = Value(4);
    ASSERT_EQ(V_VT(&v), VT_BOOL);
    EXPECT_EQ(V_BOOL(&v), VARIANT_TRUE);
    v = Value(5);
    ASSERT_EQ(V_VT(&v), VT_ARRAY | VT_UI1);
    LONG upper = 0;
    SafeArrayGetUBound(V_ARRAY(&v), 1, &upper);
    EXPECT_EQ(upper, 2);
    VariantClear(&v);

    ASSERT_HRESULT_SUCCEEDED(rs_->MoveNext());
    for (long column = 0; column < 6; ++column) {
        v = Value(column);
        EXPECT_EQ(V_VT(&v), column == 1 ? VT_I8 : VT_NULL) << column;
    }
    LONG position = 0;
    ASSERT_HRESULT_SUCCEEDED(rs_->get_AbsolutePosition(&position));
    EXPECT_EQ(position, 2);
}

TEST_F(RecordSetObjectTest, AnEmptyListIsAtBothEndsAndHasNoCurrentRecord) {
    RecordSetBuilder builder;
    builder.AddField(u"Name", FieldType::Text);
    Open(builder.Build());
    VARIANT_BOOL bof = VARIANT_FALSE;
    VARIANT_BOOL eof = VARIANT_FALSE;
    rs_->get_BOF(&bof);
    rs_->get_EOF(&eof);
    EXPECT_EQ(bof, VARIANT_TRUE);
    EXPECT_EQ(eof, VARIANT_TRUE);
    EXPECT_EQ(rs_->MoveFirst(), kNoCurrentRecord);
    EXPECT_EQ(rs_->MoveNext(), kNoCurrentRecord);
    VARIANT rows;
    EXPECT_EQ(rs_->GetRows(-1, Missing(), Missing(), &rows), kNoCurrentRecord);
    Value(0);
    EXPECT_EQ(last_, kNoCurrentRecord);
}

TEST_F(RecordSetObjectTest, TheCursorStopsAtItsEndsAndAClosedOneRefusesEverything) {
    RecordSetBuilder builder;
    builder.AddField(u"Nr", FieldType::Integer);
    for (int i = 1; i <= 3; ++i) {
        builder.AppendInteger(0, i);
    }
    Open(builder.Build());
    EXPECT_EQ(rs_->MovePrevious(), S_OK);  // to BOF
    LONG position = 0;
    rs_->get_AbsolutePosition(&position);
    EXPECT_EQ(position, -2);
    EXPECT_EQ(rs_->MovePrevious(), kNoCurrentRecord);
    EXPECT_EQ(rs_->put_AbsolutePosition(4), static_cast<HRESULT>(0x800A0BB9u));  // 3001
    ASSERT_HRESULT_SUCCEEDED(rs_->put_AbsolutePosition(2));
    VARIANT rows;
    ASSERT_HRESULT_SUCCEEDED(
        rs_->GetRows(1, Missing(), Missing(), &rows));  // the second record alone
    LONG records = 0;
    SafeArrayGetUBound(V_ARRAY(&rows), 2, &records);
    EXPECT_EQ(records, 0);
    VariantClear(&rows);
    VARIANT v = Value(0);
    EXPECT_EQ(V_I4(&v), 3);

    ASSERT_HRESULT_SUCCEEDED(rs_->Close());
    LONG state = 1;
    ASSERT_HRESULT_SUCCEEDED(rs_->get_State(&state));
    EXPECT_EQ(state, 0);
    LONG count = 0;
    EXPECT_EQ(rs_->get_RecordCount(&count), kClosed);
    EXPECT_EQ(rs_->MoveFirst(), kClosed);
}

// More arguments than a member takes are refused (a script's error 450) and
// the member is not run; _NewEnum answers also as a method (JScript's
// Enumerator); the default member of a closed record set fails as every
// member does, with number, source and text.
TEST_F(RecordSetObjectTest, LateBoundCallsAsScriptsMakeThem) {
    RecordSetBuilder builder;
    builder.AddField(u"Nr", FieldType::Integer);
    builder.AppendInteger(0, 7);
    Open(builder.Build());
    const WORD get = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    VARIANT zero;
    V_VT(&zero) = VT_I4;
    V_I4(&zero) = 0;
    VARIANT result;
    EXPECT_EQ(Invoke(rs_, IdOf(rs_, L"MoveNext"), DISPATCH_METHOD, {zero}, &result),
              DISP_E_BADPARAMCOUNT);
    VARIANT_BOOL eof = VARIANT_TRUE;
    rs_->get_EOF(&eof);
    EXPECT_EQ(eof, VARIANT_FALSE);
    EXPECT_EQ(Invoke(rs_, IdOf(rs_, L"RecordCount"), get, {zero}, &result), DISP_E_BADPARAMCOUNT);
    ASSERT_EQ(Invoke(rs_, DISPID_VALUE, get, {zero}, &result), S_OK);  // rs(0), the field
    EXPECT_EQ(V_VT(&result), VT_DISPATCH);
    VariantClear(&result);
    EXPECT_EQ(Invoke(rs_, DISPID_VALUE, get, {zero, zero}, &result), DISP_E_BADPARAMCOUNT);

    IComboFields* fields = nullptr;
    ASSERT_HRESULT_SUCCEEDED(rs_->get_Fields(&fields));
    ASSERT_EQ(Invoke(fields, DISPID_NEWENUM, DISPATCH_METHOD, {}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_UNKNOWN);
    IEnumVARIANT* enumeration = nullptr;
    EXPECT_HRESULT_SUCCEEDED(V_UNKNOWN(&result)->QueryInterface(
        IID_IEnumVARIANT, reinterpret_cast<void**>(&enumeration)));
    if (enumeration != nullptr) {
        enumeration->Release();
    }
    VariantClear(&result);
    fields->Release();

    ASSERT_HRESULT_SUCCEEDED(rs_->Close());
    EXCEPINFO error{};
    EXPECT_EQ(Invoke(rs_, DISPID_VALUE, get, {zero}, &result, &error), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, kClosed);
    EXPECT_EQ(com::FromBstr(error.bstrSource), u"VXBComboServer");
    EXPECT_EQ(ToUtf8(com::FromBstr(error.bstrDescription)),
              "Der Vorgang ist für ein geschlossenes Objekt nicht zugelassen.");
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
}

// A clone shares the rows and their bookmarks but not the cursor, the sort
// or the filter; writes fail as on a read-only ADO record set, through the
// default member too; GetRows, which the record set serves itself when
// called late-bound, reports its failure as the other members do.
TEST_F(RecordSetObjectTest, ClonesKeepTheirOwnOrderAndWritesAndLateGetRowsFailAsInAdo) {
    RecordSetBuilder builder;
    builder.AddField(u"Nr", FieldType::Integer);
    for (int i = 1; i <= 4; ++i) {
        builder.AppendInteger(0, i);
    }
    Open(builder.Build());
    ASSERT_HRESULT_SUCCEEDED(rs_->put_AbsolutePosition(3));
    VARIANT mark;
    ASSERT_HRESULT_SUCCEEDED(rs_->get_Bookmark(&mark));
    BSTR descending = SysAllocString(L"Nr DESC");
    ASSERT_HRESULT_SUCCEEDED(rs_->put_Sort(descending));
    SysFreeString(descending);
    Recordset* clone = nullptr;
    ASSERT_HRESULT_SUCCEEDED(rs_->Clone(-1, &clone));
    EXPECT_EQ(FirstInteger(clone), 1);  // the rows' order, on the first record
    EXPECT_EQ(FirstInteger(), 4);
    ASSERT_HRESULT_SUCCEEDED(clone->put_Bookmark(mark));
    EXPECT_EQ(FirstInteger(clone), 3);
    VARIANT criteria;
    V_VT(&criteria) = VT_BSTR;
    V_BSTR(&criteria) = SysAllocString(L"Nr < 3");
    ASSERT_HRESULT_SUCCEEDED(clone->put_Filter(criteria));
    VariantClear(&criteria);
    LONG count = 0;
    clone->get_RecordCount(&count);
    EXPECT_EQ(count, 2);
    rs_->get_RecordCount(&count);
    EXPECT_EQ(count, 4);
    clone->Release();

    // rs(0) = 9, and rs.GetRows() at EOF, late-bound.
    VARIANT nine;
    V_VT(&nine) = VT_I4;
    V_I4(&nine) = 9;
    VARIANT zero;
    V_VT(&zero) = VT_I4;
    V_I4(&zero) = 0;
    std::vector<VARIANT> args = {nine, zero};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{args.data(), &named, 2, 1};
    EXCEPINFO error{};
    EXPECT_EQ(rs_->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                          nullptr, &error, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, kReadOnly);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    EXPECT_EQ(FirstInteger(), 4);

    const DISPID getRows = IdOf(rs_, L"GetRows");
    VARIANT result;
    ASSERT_EQ(Invoke(rs_, getRows, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_ARRAY | VT_VARIANT);
    LONG last = 0;
    SafeArrayGetUBound(V_ARRAY(&result), 2, &last);
    EXPECT_EQ(last, 3);
    VariantClear(&result);
    error = EXCEPINFO{};
    EXPECT_EQ(Invoke(rs_, getRows, DISPATCH_METHOD, {}, &result, &error), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, kNoCurrentRecord);
    EXPECT_EQ(com::FromBstr(error.bstrSource), u"VXBComboServer");
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
}

}  // namespace
}  // namespace trx::test

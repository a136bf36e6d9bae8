#include "combolist/com/RecordSetObject.h"

#include <oleauto.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "VXBComboServer.h"
#include "automation/com/ComServer.h"
#include "automation/com/ComValue.h"
#include "combolist/VXComboDBClass.h"

namespace trx {

namespace {

// The data types by which ADO names a field's type (DataTypeEnum).
constexpr long kAdInteger = 3;
constexpr long kAdDouble = 5;
constexpr long kAdBoolean = 11;
constexpr long kAdBigInt = 20;
constexpr long kAdNumeric = 131;
constexpr long kAdDBTimeStamp = 135;
constexpr long kAdVarWChar = 202;
constexpr long kAdVarBinary = 204;

// AbsolutePosition away from a record (PositionEnum).
constexpr long kAdPosUnknown = -1;
constexpr long kAdPosBOF = -2;
constexpr long kAdPosEOF = -3;

// State (ObjectStateEnum).
constexpr long kAdStateClosed = 0;
constexpr long kAdStateOpen = 1;

// The source of the record set's errors: the server's type library.
std::u16string Source() {
    return VXComboDBIdentity().typeLibrary.name;
}

AutomationError NoCurrentRecord() {
    return AutomationError(kErrNoCurrentRecord, Source(),
                           u"Entweder BOF oder EOF ist True, oder der aktuelle Datensatz wurde "
                           u"gelöscht. Der angeforderte Vorgang benötigt einen aktuellen "
                           u"Datensatz.");
}

// The position and state of one record set object over shared rows; its
// Fields and each Field read the record the cursor stands on when asked.
class Cursor {
  public:
    explicit Cursor(RecordSetRef rows) : rows_(std::move(rows)), wide_(rows_->FieldCount(), -1) {}

    const RecordSet& Rows() const {
        if (!open_) {
            throw AutomationError(kErrObjectClosed, Source(),
                                  u"Der Vorgang ist für ein geschlossenes Objekt nicht "
                                  u"zugelassen.");
        }
        return *rows_;
    }
    long Count() const { return static_cast<long>(Rows().RecordCount()); }
    // -1 before the first record (BOF), Count() after the last (EOF).
    long Position() const { return position_; }
    void MoveTo(long position) {
        Rows();
        position_ = position;
    }
    bool Bof() const { return position_ < 0 || Count() == 0; }
    bool Eof() const { return position_ >= Count() || Count() == 0; }
    std::size_t Current() const {
        if (Bof() || Eof()) {
            throw NoCurrentRecord();
        }
        return static_cast<std::size_t>(position_);
    }
    void Close() {
        Rows();
        open_ = false;
    }

    // Whether an integer field holds a value beyond 32 bits: then all its
    // values are VT_I8, else VT_I4. Found once, on first use.
    bool Wide(std::size_t column) {
        if (wide_[column] < 0) {
            wide_[column] = 0;
            for (std::size_t r = 0; r < rows_->RecordCount() && wide_[column] == 0; ++r) {
                const FieldValue value = rows_->Value(r, column);
                if (const auto* number = std::get_if<std::int64_t>(&value)) {
                    wide_[column] = *number < INT32_MIN || *number > INT32_MAX ? 1 : 0;
                }
            }
        }
        return wide_[column] == 1;
    }

    long TypeOf(std::size_t column) {
        switch (Rows().FieldAt(column).type) {
            case FieldType::Text:
                return kAdVarWChar;
            case FieldType::Integer:
                return Wide(column) ? kAdBigInt : kAdInteger;
            case FieldType::Double:
                return kAdDouble;
            case FieldType::Decimal:
                return kAdNumeric;
            case FieldType::Boolean:
                return kAdBoolean;
            case FieldType::Date:
                return kAdDBTimeStamp;
            case FieldType::Binary:
                return kAdVarBinary;
        }
        return kAdVarWChar;
    }

    // The value as the VARIANT of the type a client expects; NULL is VT_NULL.
    HRESULT ToVariant(std::size_t record, std::size_t column, VARIANT* out) {
        VariantInit(out);
        const RecordSet& rows = Rows();
        if (rows.IsNull(record, column)) {
            V_VT(out) = VT_NULL;
            return S_OK;
        }
        const FieldType type = rows.FieldAt(column).type;
        if (type == FieldType::Text || type == FieldType::Decimal) {
            const std::u16string_view text = rows.TextView(record, column);
            if (type == FieldType::Decimal) {
                // The exact digits, read with the invariant "." as the point.
                std::wstring digits(text.begin(), text.end());
                if (SUCCEEDED(VarDecFromStr(digits.data(), LOCALE_INVARIANT, 0, &V_DECIMAL(out)))) {
                    V_VT(out) = VT_DECIMAL;
                    return S_OK;
                }
            }
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = com::ToBstr(text);
            return V_BSTR(out) == nullptr ? E_OUTOFMEMORY : S_OK;
        }
        const FieldValue value = rows.Value(record, column);
        if (const auto* number = std::get_if<std::int64_t>(&value)) {
            if (Wide(column)) {
                V_VT(out) = VT_I8;
                V_I8(out) = *number;
            } else {
                V_VT(out) = VT_I4;
                V_I4(out) = static_cast<LONG>(*number);
            }
        } else if (const auto* real = std::get_if<double>(&value)) {
            V_VT(out) = VT_R8;
            V_R8(out) = *real;
        } else if (const auto* flag = std::get_if<bool>(&value)) {
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = *flag ? VARIANT_TRUE : VARIANT_FALSE;
        } else if (const auto* date = std::get_if<DateTime>(&value)) {
            V_VT(out) = VT_DATE;
            V_DATE(out) = ToAutomationDateValue(*date);
        } else if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) {
            SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes->size()));
            if (array == nullptr) {
                return E_OUTOFMEMORY;
            }
            if (!bytes->empty()) {
                std::copy(bytes->begin(), bytes->end(), static_cast<std::uint8_t*>(array->pvData));
            }
            V_VT(out) = VT_ARRAY | VT_UI1;
            V_ARRAY(out) = array;
        }
        return S_OK;
    }

    // The length of the value: characters of a text, bytes of a binary
    // value, the size of a fixed-size type, 0 for NULL.
    long ActualSize(std::size_t record, std::size_t column) {
        const RecordSet& rows = Rows();
        if (rows.IsNull(record, column)) {
            return 0;
        }
        switch (rows.FieldAt(column).type) {
            case FieldType::Text:
            case FieldType::Decimal:
                return static_cast<long>(rows.TextView(record, column).size());
            case FieldType::Integer:
                return Wide(column) ? 8 : 4;
            case FieldType::Boolean:
                return 2;
            case FieldType::Binary:
                return static_cast<long>(
                    std::get<std::vector<std::uint8_t>>(rows.Value(record, column)).size());
            case FieldType::Double:
            case FieldType::Date:
                return 8;
        }
        return 0;
    }

  private:
    RecordSetRef rows_;
    long position_ = 0;
    bool open_ = true;
    std::vector<signed char> wide_;
};

// IUnknown, IDispatch through the interface's type information, and error
// objects, for the three objects.
template <class Interface>
class Dispatched : public Interface, public ISupportErrorInfo {
  public:
    Dispatched(std::shared_ptr<const RecordSetTypes> types, ITypeInfo* info,
               std::shared_ptr<Cursor> cursor, com::ComServer* server)
        : types_(std::move(types)), info_(info), cursor_(std::move(cursor)), server_(server) {
        if (server_ != nullptr) {
            server_->ObjectMade();
        }
    }
    virtual ~Dispatched() {
        if (server_ != nullptr) {
            server_->ObjectGone();
        }
    }
    Dispatched(const Dispatched&) = delete;
    Dispatched& operator=(const Dispatched&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) {
            *result = static_cast<Interface*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *result = static_cast<ISupportErrorInfo*>(this);
        } else {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        info_->AddRef();
        *info = info_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (Refused()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return DispGetIDsOfNames(info_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override {
        if (Refused()) {
            return RPC_E_CALL_REJECTED;
        }
        if (iid != IID_NULL) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        return InvokeMember(id, flags, params, result, exception, badArgument);
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == __uuidof(Interface) || iid == IID_IDispatch ? S_OK : S_FALSE;
    }

  protected:
    virtual HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* badArgument) {
        return info_->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception,
                             badArgument);
    }

    // Runs a member and turns what it throws into an HRESULT with an error object.
    template <class Work>
    HRESULT Guarded(Work work) {
        SetErrorInfo(0, nullptr);
        try {
            return work();
        } catch (const AutomationError& error) {
            return com::Report(error, Source(), __uuidof(Interface));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception&) {
            return E_FAIL;
        }
    }

    const std::shared_ptr<const RecordSetTypes>& Types() const { return types_; }
    Cursor& Rows() const { return *cursor_; }
    const std::shared_ptr<Cursor>& SharedCursor() const { return cursor_; }
    com::ComServer* Server() const { return server_; }

  private:
    bool Refused() const { return server_ != nullptr && server_->RefusedCall(); }

    std::shared_ptr<const RecordSetTypes> types_;
    ITypeInfo* info_;
    std::shared_ptr<Cursor> cursor_;
    com::ComServer* server_;
    ULONG references_ = 0;
};

class FieldObject final : public Dispatched<IComboField> {
  public:
    FieldObject(std::shared_ptr<const RecordSetTypes> types, std::shared_ptr<Cursor> cursor,
                com::ComServer* server, std::size_t column)
        : Dispatched(types, types->field, std::move(cursor), server), column_(column) {}

    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            return Rows().ToVariant(Rows().Current(), column_, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Result) override {
        return Guarded(
            [&] { return com::Store(Value(Rows().Rows().FieldAt(column_).name), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_Type(LONG* Result) override {
        return Guarded([&] { return Put(Rows().TypeOf(column_), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_ActualSize(LONG* Result) override {
        return Guarded([&] { return Put(Rows().ActualSize(Rows().Current(), column_), Result); });
    }

    static HRESULT Put(long value, LONG* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }

  private:
    std::size_t column_;
};

IDispatch* NewField(const std::shared_ptr<const RecordSetTypes>& types,
                    const std::shared_ptr<Cursor>& cursor, com::ComServer* server,
                    std::size_t column) {
    auto* field = new FieldObject(types, cursor, server, column);
    field->AddRef();
    return field;
}

// The fields' enumeration for For Each: a snapshot of field objects.
class FieldEnumeration final : public IEnumVARIANT {
  public:
    explicit FieldEnumeration(std::vector<IDispatch*> fields) : fields_(std::move(fields)) {}
    ~FieldEnumeration() {
        for (IDispatch* field : fields_) {
            field->Release();
        }
    }
    FieldEnumeration(const FieldEnumeration&) = delete;
    FieldEnumeration& operator=(const FieldEnumeration&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        if (iid != IID_IUnknown && iid != IID_IEnumVARIANT) {
            *result = nullptr;
            return E_NOINTERFACE;
        }
        *result = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        ULONG given = 0;
        for (; given < count && next_ < fields_.size(); ++given, ++next_) {
            VariantInit(&out[given]);
            fields_[next_]->AddRef();
            V_VT(&out[given]) = VT_DISPATCH;
            V_DISPATCH(&out[given]) = fields_[next_];
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min(fields_.size(), next_ + count);
        return next_ < fields_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
        if (copy == nullptr) {
            return E_POINTER;
        }
        for (IDispatch* field : fields_) {
            field->AddRef();
        }
        auto* clone = new (std::nothrow) FieldEnumeration(fields_);
        if (clone == nullptr) {
            *copy = nullptr;
            return E_OUTOFMEMORY;
        }
        clone->next_ = next_;
        clone->AddRef();
        *copy = clone;
        return S_OK;
    }

  private:
    std::vector<IDispatch*> fields_;
    std::size_t next_ = 0;
    ULONG references_ = 0;
};

class FieldsObject final : public Dispatched<IComboFields> {
  public:
    FieldsObject(std::shared_ptr<const RecordSetTypes> types, std::shared_ptr<Cursor> cursor,
                 com::ComServer* server)
        : Dispatched(types, types->fields, std::move(cursor), server) {}

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, IComboField** Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            *Result = nullptr;
            const std::size_t column = ColumnOf(Index);
            *Result = static_cast<IComboField*>(
                static_cast<FieldObject*>(NewField(Types(), SharedCursor(), Server(), column)));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* Result) override {
        return Guarded([&] {
            return FieldObject::Put(static_cast<long>(Rows().Rows().FieldCount()), Result);
        });
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            std::vector<IDispatch*> fields;
            for (std::size_t c = 0; c < Rows().Rows().FieldCount(); ++c) {
                fields.push_back(NewField(Types(), SharedCursor(), Server(), c));
            }
            auto* enumeration = new FieldEnumeration(std::move(fields));
            enumeration->AddRef();
            *Result = enumeration;
            return S_OK;
        });
    }

  private:
    // A field by its position from 0, or by its name in any case, as in ADO.
    std::size_t ColumnOf(const VARIANT& index) const {
        const RecordSet& rows = Rows().Rows();
        VARIANT given;
        VariantInit(&given);
        VariantCopyInd(&given, const_cast<VARIANT*>(&index));
        std::size_t column = rows.FieldCount();
        if (V_VT(&given) == VT_BSTR) {
            const std::u16string name = com::FromBstr(V_BSTR(&given));
            for (std::size_t c = 0; c < rows.FieldCount(); ++c) {
                const std::u16string& fieldName = rows.FieldAt(c).name;
                if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(fieldName.data()),
                                         static_cast<int>(fieldName.size()),
                                         reinterpret_cast<const wchar_t*>(name.data()),
                                         static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
                    column = c;
                    break;
                }
            }
        } else if (SUCCEEDED(VariantChangeType(&given, &given, 0, VT_I4)) && V_I4(&given) >= 0) {
            column = static_cast<std::size_t>(V_I4(&given));
        }
        VariantClear(&given);
        if (column >= rows.FieldCount()) {
            throw AutomationError(kErrItemNotFound, Source(),
                                  u"Das Objekt ist in der Auflistung, die dem angeforderten Namen "
                                  u"bzw. dem angeforderten Ordinalverweis entspricht, nicht "
                                  u"vorhanden.");
        }
        return column;
    }
};

class RecordSetObject final : public Dispatched<IComboRecordSet> {
  public:
    RecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                    com::ComServer* server)
        : Dispatched(types, types->recordSet, std::make_shared<Cursor>(std::move(rows)), server) {}

    HRESULT STDMETHODCALLTYPE get_Fields(IComboFields** Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            Rows().Rows();
            auto* fields = new FieldsObject(Types(), SharedCursor(), Server());
            fields->AddRef();
            *Result = fields;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* Result) override {
        return Guarded([&] { return Flag(Rows().Eof(), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* Result) override {
        return Guarded([&] { return Flag(Rows().Bof(), Result); });
    }
    HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* Result) override {
        return Guarded([&] { return FieldObject::Put(Rows().Count(), Result); });
    }
    // 1 for the first record; away from a record what ADO gives there.
    HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* Result) override {
        return Guarded([&] {
            Cursor& cursor = Rows();
            long position = cursor.Position() + 1;
            if (cursor.Count() == 0) {
                position = kAdPosUnknown;
            } else if (cursor.Bof()) {
                position = kAdPosBOF;
            } else if (cursor.Eof()) {
                position = kAdPosEOF;
            }
            return FieldObject::Put(position, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG Position) override {
        return Guarded([&] {
            if (Position < 1 || Position > Rows().Count()) {
                throw AutomationError(kErrInvalidArgument, Source(),
                                      u"Die Argumente sind vom falschen Typ, liegen außerhalb des "
                                      u"zulässigen Bereichs oder sind miteinander unvereinbar.");
            }
            Rows().MoveTo(Position - 1);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_State(LONG* Result) override {
        return Guarded([&] {
            long state = kAdStateOpen;
            try {
                Rows().Rows();
            } catch (const AutomationError&) {
                state = kAdStateClosed;
            }
            return FieldObject::Put(state, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE MoveFirst() override {
        return Guarded([&] { return Move(0); });
    }
    HRESULT STDMETHODCALLTYPE MoveLast() override {
        return Guarded([&] { return Move(Rows().Count() - 1); });
    }
    // Past the last record lies EOF, before the first BOF; a step from
    // there is ADO's error 3021.
    HRESULT STDMETHODCALLTYPE MoveNext() override {
        return Guarded([&] {
            if (Rows().Eof()) {
                throw NoCurrentRecord();
            }
            Rows().MoveTo(Rows().Position() + 1);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE MovePrevious() override {
        return Guarded([&] {
            if (Rows().Bof()) {
                throw NoCurrentRecord();
            }
            Rows().MoveTo(Rows().Position() - 1);
            return S_OK;
        });
    }
    // The records from the current one on (Rows of them, or all with -1) in
    // one array of fields x records, as ADO's GetRows; the cursor moves past
    // the last one given.
    HRESULT STDMETHODCALLTYPE GetRows(LONG Rows_, VARIANT* Result) override {
        return Guarded([&] {
            if (Result == nullptr) {
                return E_POINTER;
            }
            VariantInit(Result);
            Cursor& cursor = Rows();
            const std::size_t first = cursor.Current();
            const std::size_t left = static_cast<std::size_t>(cursor.Count()) - first;
            const std::size_t count =
                Rows_ < 0 ? left : std::min(left, static_cast<std::size_t>(Rows_));
            const std::size_t fields = cursor.Rows().FieldCount();
            SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(fields), 0},
                                        {static_cast<ULONG>(count), 0}};
            SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
            if (array == nullptr) {
                return E_OUTOFMEMORY;
            }
            VARIANT* cells = nullptr;
            SafeArrayAccessData(array, reinterpret_cast<void**>(&cells));
            HRESULT filled = S_OK;
            // The first index (the field) varies fastest.
            for (std::size_t r = 0; r < count && SUCCEEDED(filled); ++r) {
                for (std::size_t c = 0; c < fields && SUCCEEDED(filled); ++c) {
                    filled = cursor.ToVariant(first + r, c, &cells[r * fields + c]);
                }
            }
            SafeArrayUnaccessData(array);
            if (FAILED(filled)) {
                SafeArrayDestroy(array);
                return filled;
            }
            V_VT(Result) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(Result) = array;
            cursor.MoveTo(static_cast<long>(first + count));
            return S_OK;
        });
    }
    // Closes this cursor alone: the list's rows stay in the server for the
    // next ComboList.
    HRESULT STDMETHODCALLTYPE Close() override {
        return Guarded([&] {
            Rows().Close();
            return S_OK;
        });
    }

  protected:
    // rs(0) and rs("Nr"): arguments to the default member Fields go on to
    // the default member of the fields, Item.
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* badArgument) override {
        if (id != DISPID_VALUE || params == nullptr || params->cArgs == 0 ||
            (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
            return Dispatched::InvokeMember(id, flags, params, result, exception, badArgument);
        }
        IComboFields* fields = nullptr;
        const HRESULT got = get_Fields(&fields);
        if (FAILED(got)) {
            return got;
        }
        const HRESULT invoked = fields->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                               params, result, exception, badArgument);
        fields->Release();
        return invoked;
    }

  private:
    HRESULT Move(long position) {
        Cursor& cursor = Rows();
        if (cursor.Count() == 0) {
            throw NoCurrentRecord();
        }
        cursor.MoveTo(position);
        return S_OK;
    }
    static HRESULT Flag(bool value, VARIANT_BOOL* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
};

}  // namespace

RecordSetTypes::RecordSetTypes(ITypeLib* library)
    : recordSet(com::LoadInterfaceInfo(library, __uuidof(IComboRecordSet))),
      fields(com::LoadInterfaceInfo(library, __uuidof(IComboFields))),
      field(com::LoadInterfaceInfo(library, __uuidof(IComboField))) {}

RecordSetTypes::~RecordSetTypes() {
    for (ITypeInfo* info : {recordSet, fields, field}) {
        if (info != nullptr) {
            info->Release();
        }
    }
}

IDispatch* MakeRecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                               com::ComServer* server) {
    if (!types || !types->Complete() || !rows) {
        return nullptr;
    }
    auto* object = new (std::nothrow) RecordSetObject(std::move(types), std::move(rows), server);
    if (object == nullptr) {
        return nullptr;
    }
    object->AddRef();
    return object;
}

}  // namespace trx

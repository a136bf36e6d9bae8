#include "combolist/com/RecordSetObject.h"

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <utility>

#include "VXBComboServer.h"
#include "combolist/com/FieldsObject.h"
#include "combolist/com/RecordSetPart.h"

namespace trx {

namespace {

// AbsolutePosition away from a record (PositionEnum).
constexpr long kAdPosUnknown = -1;
constexpr long kAdPosBOF = -2;
constexpr long kAdPosEOF = -3;

// State (ObjectStateEnum).
constexpr long kAdStateClosed = 0;
constexpr long kAdStateOpen = 1;

class RecordSetObject final : public RecordSetPart<IComboRecordSet> {
  public:
    RecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                    com::ComServer* server)
        : RecordSetPart(types, types->recordSet,
                        std::make_shared<com::RecordSetCursor>(std::move(rows)), server) {}

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
        return Guarded([&] { return PutLong(Rows().Count(), Result); });
    }
    // 1 for the first record; away from a record what ADO gives there.
    HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* Result) override {
        return Guarded([&] {
            com::RecordSetCursor& cursor = Rows();
            long position = cursor.Position() + 1;
            if (cursor.Count() == 0) {
                position = kAdPosUnknown;
            } else if (cursor.Bof()) {
                position = kAdPosBOF;
            } else if (cursor.Eof()) {
                position = kAdPosEOF;
            }
            return PutLong(position, Result);
        });
    }
    HRESULT STDMETHODCALLTYPE put_AbsolutePosition(LONG Position) override {
        return Guarded([&] {
            if (Position < 1 || Position > Rows().Count()) {
                throw AutomationError(com::kErrInvalidArgument, u"",
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
            return PutLong(state, Result);
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
                throw com::NoCurrentRecord();
            }
            Rows().MoveTo(Rows().Position() + 1);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE MovePrevious() override {
        return Guarded([&] {
            if (Rows().Bof()) {
                throw com::NoCurrentRecord();
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
            com::RecordSetCursor& cursor = Rows();
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
    // the default member of the fields, Item. Fields is read as any
    // late-bound call reads it, so that its failure (a closed record set)
    // reaches the client as an exception with number, source and text.
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* badArgument) override {
        if (id != DISPID_VALUE || params == nullptr || params->cArgs == 0 ||
            (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
            return RecordSetPart::InvokeMember(id, flags, params, result, exception, badArgument);
        }
        DISPPARAMS none{};
        VARIANT fields;
        VariantInit(&fields);
        HRESULT invoked = RecordSetPart::InvokeMember(DISPID_VALUE, DISPATCH_PROPERTYGET, &none,
                                                      &fields, exception, badArgument);
        if (SUCCEEDED(invoked)) {
            invoked = VariantChangeType(&fields, &fields, 0, VT_DISPATCH);
        }
        if (SUCCEEDED(invoked) && V_DISPATCH(&fields) != nullptr) {
            invoked = V_DISPATCH(&fields)->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                                                  flags, params, result, exception, badArgument);
        } else if (SUCCEEDED(invoked)) {
            invoked = E_UNEXPECTED;
        }
        VariantClear(&fields);
        return invoked;
    }

  private:
    HRESULT Move(long position) {
        com::RecordSetCursor& cursor = Rows();
        if (cursor.Count() == 0) {
            throw com::NoCurrentRecord();
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

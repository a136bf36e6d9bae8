#include "automation/com/MemberArguments.h"

namespace trx::com {

bool TooManyArguments(ITypeInfo* info, DISPID id, WORD flags, UINT given) {
    if (given == 0) {
        return false;
    }
    TYPEATTR* type = nullptr;
    if (FAILED(info->GetTypeAttr(&type))) {
        return false;
    }
    const UINT functions = type->cFuncs;
    info->ReleaseTypeAttr(type);
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(f, &function))) {
            continue;
        }
        // The invoke kinds have the bits of the dispatch flags.
        const bool answers = function->memid == id && (function->invkind & flags) != 0;
        bool tooMany = false;
        if (answers && function->cParamsOpt != -1) {
            UINT takes = 0;
            for (SHORT p = 0; p < function->cParams; ++p) {
                const USHORT paramFlags = function->lprgelemdescParam[p].paramdesc.wParamFlags;
                if ((paramFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) == 0) {
                    ++takes;
                }
            }
            tooMany = given > takes;
        }
        info->ReleaseFuncDesc(function);
        if (answers) {
            return tooMany;
        }
    }
    return false;
}

}  // namespace trx::com

#include "registrar/CPXFileClass.h"

#include "automation/ClassBuilder.h"
#include "registrar/CPXFile.h"

namespace trx {

ClassIdentity CPXFileIdentity() {
    ClassIdentity identity;
    identity.className = u"CPXFile";
    identity.classId = u"{2235ACEE-A7D0-4B3B-973E-97C06FE89071}";
    identity.interfaceId = u"{185AF639-42EA-411C-A691-2098DAFE8210}";
    identity.aliasName = u"CPXFile___v0";
    identity.aliasId = u"{53436781-05D3-4902-8C17-C845A5117A08}";
    identity.typeLibrary = {u"vxRegCPX", 2, 1, u"{62627623-FC03-4686-874C-849063275185}", {}, {}};
    identity.versionResource = {u"Velmora", u"vxRegCPX", u"vxRegCPX", u"vxRegCPX.exe"};
    return identity;
}

ClassDescription CPXFileShape() {
    // Quiet and ShowErrors may be left out, from the end; they are false then.
    const auto quiet = Optional(u"Quiet", kFalse);
    const auto showErrors = Optional(u"ShowErrors", kFalse);
    return ClassBuilder<CPXFile>(CPXFileIdentity())
        .Method<&CPXFile::Register>(u"Register", 0x60030000, {u"CPXFile", quiet, showErrors})
        .Method<&CPXFile::UnRegister>(u"UnRegister", 0x60030001, {u"Name", quiet, showErrors})
        .Method<&CPXFile::UnRegisterFile>(u"UnRegisterFile", 0x60030002,
                                          {u"CPXFile", quiet, showErrors})
        .Build();
}

ClassDescription CPXFileClass(SettingsStore& store, MessageBox& messages,
                              std::u16string programDirectory) {
    ClassDescription description = CPXFileShape();
    description.create =
        ClassBuilder<CPXFile>::Factory([&store, &messages, programDirectory](const EventRaiser&) {
            return std::make_unique<CPXFile>(store, messages, programDirectory);
        });
    return description;
}

}  // namespace trx

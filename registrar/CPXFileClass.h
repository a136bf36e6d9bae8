#pragma once

#include "automation/ClassDescription.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

#include <string>

namespace trx {

// The identity under which clients know CPXFile: programmatic identifier
// vxRegCPX.CPXFile, type library vxRegCPX 2.1.
ClassIdentity CPXFileIdentity();

// CPXFile's identity and members, without a way to make objects: what its
// type library and version resource are made from.
ClassDescription CPXFileShape();

// CPXFile as clients reach it. Every object shares the program's settings
// store and message box.
ClassDescription CPXFileClass(SettingsStore& store, MessageBox& messages,
                              std::u16string programDirectory);

}  // namespace trx

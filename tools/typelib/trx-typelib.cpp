// Prints what the Windows build makes a program's type library and version
// resource from, and the installer's part for the program (a WiX fragment),
// out of the program's class description:
//   trx-typelib idl|rc|wxs CPXFile|Version|VXComboDB OUTPUT
// Built and run on the build machine (tools/typelib/CMakeLists.txt).

#include "automation/TypeLibrarySource.h"
#include "combolist/VXComboDBClass.h"
#include "combolist/com/RecordSetInterfaces.h"
#include "registrar/CPXFileClass.h"
#include "tools/typelib/InstallerRows.h"
#include "version/VersionClass.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: trx-typelib idl|rc|wxs CPXFile|Version|VXComboDB OUTPUT\n";
        return 2;
    }
    const std::string what = argv[1];
    const std::string name = argv[2];
    try {
        std::vector<trx::ComInterface> others;
        trx::ClassDescription description;
        if (name == "CPXFile") {
            description = trx::CPXFileShape();
        } else if (name == "Version") {
            description = trx::VersionShape();
        } else if (name == "VXComboDB") {
            description = trx::VXComboDBShape();
            others = trx::RecordSetInterfaces();
            // Registered to be marshalled like the class's own interface.
            for (const trx::ComInterface& recordSet : others) {
                description.identity.otherInterfaces.emplace_back(recordSet.id, recordSet.name);
            }
        } else {
            std::cerr << "trx-typelib: no class " << name << '\n';
            return 2;
        }
        std::string text;
        if (what == "idl") {
            text = trx::TypeLibraryIdl(description, others);
        } else if (what == "rc") {
            text = trx::VersionResourceScript(description.identity);
        } else if (what == "wxs") {
            text = trx::InstallerSource(description.identity);
        } else {
            std::cerr << "trx-typelib: neither idl, rc nor wxs: " << what << '\n';
            return 2;
        }
        std::ofstream out(argv[3], std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            std::cerr << "trx-typelib: cannot write " << argv[3] << '\n';
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "trx-typelib: " << error.what() << '\n';
        return 1;
    }
    return 0;
}

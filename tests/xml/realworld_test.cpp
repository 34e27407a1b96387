// Real XML files from the machine's packages (fontconfig, D-Bus, iso-codes, AppStream, XML catalogs)
// load, save and load again without error, and the second save repeats the first.
#include <gtest/gtest.h>

#include "support.h"

namespace {

size_t CountElements(const TxmlNode* node) {
    size_t n = 0;
    std::vector<const TxmlNode*> stack{node};
    while (!stack.empty()) {
        const TxmlNode* current = stack.back();
        stack.pop_back();
        for (const TxmlNode* child : current->Children) {
            n += child->IsComment ? 0 : 1;
            stack.push_back(child);
        }
    }
    return n;
}

std::vector<std::string> MachineXmlFiles() {
    std::vector<std::string> found;
#ifndef _WIN32
    const char* folders[] = {"/etc/fonts",           "/usr/share/fontconfig", "/usr/share/dbus-1",
                             "/usr/share/xml",       "/usr/share/metainfo",   "/usr/share/mime",
                             "/usr/share/polkit-1/actions"};
    for (const char* folder : folders) {
        std::error_code error;
        size_t taken = 0;
        for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
             !error && it != std::filesystem::recursive_directory_iterator() && taken < 8; it.increment(error)) {
            std::string ext = it->path().extension().string();
            if (it->is_regular_file(error) && (ext == ".xml" || ext == ".conf" || ext == ".policy")) {
                found.push_back(it->path().string());
                ++taken;
            }
        }
    }
#endif
    return found;
}

}  // namespace

TEST(RealWorld, PackageFilesLoadSaveAndReload) {
    std::vector<std::string> files = MachineXmlFiles();
    if (files.empty()) GTEST_SKIP() << "no XML files of packages on this machine";
    xmltest::TempDir dir;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TxmlTree tree(LoadXmlFile(file));
        SaveXmlFile(tree.Get(), dir.File("saved.xml"));
        TxmlTree back(LoadXmlFile(dir.File("saved.xml")));
        EXPECT_EQ(CountElements(back.Get()), CountElements(tree.Get()));
        EXPECT_EQ(SaveXmlString(back.Get()), xmltest::ReadFile(dir.File("saved.xml")));
    }
}

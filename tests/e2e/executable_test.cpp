// The shape of mrwd.exe itself: a GUI program of its build's platform (x64 or
// x86) that needs no DLL of its own, with its version information.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "tests/harness/win_harness.h"

namespace mrwd::testing {
namespace {

std::vector<unsigned char> ReadExecutable() {
    std::ifstream in(TestProgramFolder() + "mrwd.exe", std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The test programs are built for the same platform as the server beside them.
constexpr bool kX86 = sizeof(void*) == 4;

TEST(Executable, IsAGuiProgramOfItsPlatformImportingSystemLibrariesOnly) {
    const std::vector<unsigned char> image = ReadExecutable();
    ASSERT_GT(image.size(), 4096u);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    // IMAGE_NT_HEADERS is the layout of this build's platform.
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.Machine, kX86 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64);
    ASSERT_EQ(nt->OptionalHeader.Magic, kX86 ? IMAGE_NT_OPTIONAL_HDR32_MAGIC : IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    // Walk the import directory through the section table.
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto toOffset = [&](DWORD rva) -> size_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    const std::set<std::string> system = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll",
                                          "msvcrt.dll",   "shell32.dll",  "user32.dll", "ws2_32.dll",
                                          "version.dll",  "comdlg32.dll", "ole32.dll"};
    std::vector<std::string> imported;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + toOffset(dir.VirtualAddress));
         d->Name != 0; ++d) {
        std::string name(reinterpret_cast<const char*>(image.data() + toOffset(d->Name)));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        imported.push_back(name);
        EXPECT_TRUE(system.count(name)) << "imports " << name;
    }
    EXPECT_FALSE(imported.empty());
    EXPECT_EQ(std::count(imported.begin(), imported.end(), "libstdc++-6.dll"), 0);
}

std::string VersionString(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\041904B0\\") + name;
    if (!::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return {};
    return std::string(value);
}

TEST(Executable, CarriesItsVersionInformation) {
    const std::string path = TestProgramFolder() + "mrwd.exe";
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size + 1);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(9, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 6));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(9, 2));

    DWORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    EXPECT_EQ(*translation, MAKELONG(0x0419, 1200));

    EXPECT_EQ(VersionString(block, "FileVersion"), "2.96 build 681");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "2.96");
    EXPECT_EQ(VersionString(block, "FileDescription"), "Marotel ZedevUdo Server");
    EXPECT_EQ(VersionString(block, "ProductName"), "Marotel ZedevUdo Server");
    EXPECT_EQ(VersionString(block, "InternalName"), "mrwd");
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "mrwd.exe");
    EXPECT_EQ(VersionString(block, "CompanyName"), "Marotel");
    EXPECT_NE(VersionString(block, "Comments").find('@'), std::string::npos);
}

}  // namespace
}  // namespace mrwd::testing

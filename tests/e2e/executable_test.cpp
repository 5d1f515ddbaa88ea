// The shape of mrwd.exe itself: a GUI program of its build's platform (x64 or
// x86) that needs no DLL of its own, with its version information and a
// manifest that names its platform and the systems it supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "base/win/handles.h"
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
                                          "version.dll",  "comdlg32.dll", "ole32.dll",
                                          // SChannel and the certificate checks of mail over TLS
                                          "secur32.dll",  "crypt32.dll",
                                          // the OAuth token endpoint over HTTPS
                                          "winhttp.dll"};
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
    EXPECT_EQ(VersionString(block, "SupportedOS"),
              std::string("Windows 7 SP1, 8, 8.1, 10, 11 (") + (kX86 ? "x86" : "x64") + ")");
}

// The manifest's processor architecture must be the program's own: Windows
// refuses to start a 32-bit program whose manifest names amd64 (or asks for
// the amd64 common controls), and the reverse.
TEST(Executable, ItsManifestNamesItsPlatformAndWindows7To11) {
    UniqueModule image(::LoadLibraryExA((TestProgramFolder() + "mrwd.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(image.valid());
    const HRSRC found = ::FindResourceA(image.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const HGLOBAL loaded = ::LoadResource(image.get(), found);
    ASSERT_NE(loaded, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(image.get(), found));

    const auto architecture = [](const char* name) { return std::string("processorArchitecture=\"") + name + "\""; };
    const std::string ours = architecture(kX86 ? "x86" : "amd64");
    std::size_t named = 0;
    for (std::size_t at = manifest.find(ours); at != std::string::npos; at = manifest.find(ours, at + 1)) ++named;
    EXPECT_EQ(named, 2u) << "the program and its common controls:\n" << manifest;
    EXPECT_EQ(manifest.find(architecture(kX86 ? "amd64" : "x86")), std::string::npos) << manifest;
    const struct {
        const char* system;
        const char* id;
    } systems[] = {
        {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
        {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
        {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
        {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    };
    for (const auto& system : systems) {
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + system.id + "\"/>"), std::string::npos)
            << system.system;
    }
}

}  // namespace
}  // namespace mrwd::testing

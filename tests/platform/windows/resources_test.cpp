// The resources of tarnix.exe, tarnix1080.exe and tarnix-music.exe, read back from the
// built files as Windows reads them: the manifest (per-monitor DPI awareness, parsed by
// the system's own activation-context reader), the version information Explorer shows
// under Properties, and the icon.
//
// The programs are looked for in the build tree beside this suite (app/, tools/music/),
// or, where TARNIX_WINDOWS_PROGRAMS names a folder, all three in that folder (the unpacked
// zip: the stripped files people run).
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "base/version.h"

namespace {

struct Program {
  const char* file;
  const char* buildFolder;  // relative to the build tree
  const char* description;  // what FileDescription begins with
};

const Program kPrograms[] = {
    {"tarnix.exe", "app", "tarnix, a real-time audiovisual presentation"},
    {"tarnix1080.exe", "app", "tarnix, a real-time audiovisual presentation (1920 x 1080)"},
    {"tarnix-music.exe", "tools\\music", "tarnix-music"},
};

// Names the program in gtest's messages.
void PrintTo(const Program& program, std::ostream* os) { *os << program.file; }

std::wstring widen(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size_t(length > 0 ? length - 1 : 0), L'\0');
  if (length > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  return wide;
}

std::string narrow(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(size_t(length > 0 ? length - 1 : 0), '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
  return result;
}

// The build tree: this suite lives in <build>\tests\platform.
std::wstring buildTree() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  for (int up = 0; up < 3; ++up) folder = folder.substr(0, folder.find_last_of(L"\\/"));
  return folder;
}

std::wstring pathOf(const Program& program) {
  char folder[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("TARNIX_WINDOWS_PROGRAMS", folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return widen(folder) + L"\\" + widen(program.file);
  return buildTree() + L"\\" + widen(program.buildFolder) + L"\\" + widen(program.file);
}

class ProgramResources : public ::testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    path_ = pathOf(GetParam());
    module_ = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << narrow(path_) << " cannot be opened (error " << GetLastError() << ")";
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // A resource's bytes; empty when it is missing.
  std::string resource(const wchar_t* type, const wchar_t* name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    return bytes ? std::string(bytes, SizeofResource(module_, found)) : std::string();
  }

  std::wstring path_;
  HMODULE module_ = nullptr;
};

TEST_P(ProgramResources, ItsManifestDeclaresPerMonitorDpiAwareness) {
  const std::string manifest = resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));  // RT_MANIFEST
  ASSERT_FALSE(manifest.empty()) << "no manifest in " << narrow(path_);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;

  // The system's reader takes the embedded manifest as it would at the program's start.
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path_.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE activation = CreateActCtxW(&context);
  ASSERT_NE(activation, INVALID_HANDLE_VALUE) << "the manifest does not parse (error " << GetLastError() << ")";
  wchar_t value[128] = {};
  SIZE_T written = 0;
  EXPECT_TRUE(QueryActCtxSettingsW(0, activation, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                   L"dpiAwareness", value, 128, &written));
  EXPECT_STREQ(value, L"PerMonitorV2, PerMonitor");
  ReleaseActCtx(activation);
}

TEST_P(ProgramResources, ItsVersionInformationNamesTheProductAndTheProgram) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version information in " << narrow(path_);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
  ASSERT_GE(fixedSize, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(kTarnixVersion, "%u.%u.%u", &major, &minor, &patch), 3);
  EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, (major << 16) | minor);

  auto text = [&](const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return std::string();
    return narrow(std::wstring(value, length > 0 && value[length - 1] == 0 ? length - 1 : length));
  };
  EXPECT_EQ(text(L"ProductName"), "tarnix");
  EXPECT_EQ(text(L"ProductVersion"), kTarnixVersion);
  EXPECT_EQ(text(L"FileVersion"), kTarnixVersion);
  EXPECT_EQ(text(L"OriginalFilename"), GetParam().file);
  EXPECT_EQ(text(L"FileDescription").rfind(GetParam().description, 0), 0u) << text(L"FileDescription");
  EXPECT_NE(text(L"Comments").find("Vulkan 1.3"), std::string::npos) << text(L"Comments");
}

TEST_P(ProgramResources, ItsIconIsALitSphereInEverySize) {
  // What Explorer counts.
  EXPECT_GE(ExtractIconExW(path_.c_str(), -1, nullptr, nullptr, 0), 1u);

  const std::string group = resource(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u) << "no icon group 1 in " << narrow(path_);
  uint16_t header[3];
  std::memcpy(header, group.data(), sizeof(header));
  EXPECT_EQ(header[1], 1u);  // icons, not cursors
  const uint16_t count = header[2];
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::vector<int> sizes;
  for (uint16_t k = 0; k < count; ++k) {
    const unsigned char* entry = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * k;
    const int size = entry[0] == 0 ? 256 : entry[0];
    uint32_t bytes;
    uint16_t id;
    std::memcpy(&bytes, entry + 8, 4);
    std::memcpy(&id, entry + 12, 2);
    sizes.push_back(size);
    const std::string image = resource(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id));  // RT_ICON
    ASSERT_EQ(image.size(), bytes) << "icon " << id;
    // A 32-bit bitmap with alpha (its height counts the AND mask as well).
    BITMAPINFOHEADER bitmap;
    std::memcpy(&bitmap, image.data(), sizeof(bitmap));
    EXPECT_EQ(bitmap.biWidth, size);
    EXPECT_EQ(bitmap.biHeight, 2 * size);
    EXPECT_EQ(bitmap.biBitCount, 32);
    const auto* pixels = reinterpret_cast<const uint32_t*>(image.data() + sizeof(bitmap));
    auto alpha = [&](int x, int y) { return pixels[(size - 1 - y) * size + x] >> 24; };
    EXPECT_EQ(alpha(0, 0), 0u) << size << " px: the corner is transparent";
    EXPECT_EQ(alpha(size / 2, size / 2), 255u) << size << " px: the sphere is opaque";
    // The system makes an icon of it.
    HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(image.data())), bytes, TRUE,
                                          0x00030000, size, size, LR_DEFAULTCOLOR);
    EXPECT_NE(icon, nullptr) << size << " px";
    if (icon) DestroyIcon(icon);
  }
  for (int wanted : {16, 32, 48}) EXPECT_NE(std::find(sizes.begin(), sizes.end(), wanted), sizes.end()) << wanted;
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResources, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) {
                           std::string name;
                           for (const char* c = info.param.file; *c && *c != '.'; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

}  // namespace

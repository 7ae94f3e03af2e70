// camvey.exe as a person starts it: from a folder laid out like an installation, with
// a command line, watched through its exit code and its output streams.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr DWORD kRunTimeoutMs = 60000;

std::wstring Backslashes(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text != 0; ++text) wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

const std::wstring kProgram = Backslashes(Widen(CAMVEY_EXE_PATH));
const std::wstring kEngineLibrary = Backslashes(Widen(CAMVEY_ENGINE_DLL_PATH));

void WriteFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

struct ProcessRun {
  DWORD exit_code = 0;
  std::string out;
  std::string err;
};

// A folder with camvey.exe, the engine library and data\ as the installer lays it out.
class Installation {
 public:
  Installation(const std::string& script, bool with_icu_data, bool with_app_library) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"camvey-process-test-" +
              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count_);
    CreateDirectoryW(folder_.c_str(), nullptr);
    CreateDirectoryW((folder_ + L"\\data").c_str(), nullptr);
    CreateDirectoryW((folder_ + L"\\data\\flutter_assets").c_str(), nullptr);
    CopyFileW(kProgram.c_str(), (folder_ + L"\\camvey.exe").c_str(), FALSE);
    const std::wstring library = kEngineLibrary.substr(kEngineLibrary.find_last_of(L'\\'));
    CopyFileW(kEngineLibrary.c_str(), (folder_ + library).c_str(), FALSE);
    WriteFile(folder_ + L"\\data\\flutter_assets\\application_script.json", script);
    if (with_icu_data) WriteFile(folder_ + L"\\data\\icudtl.dat", "icu");
    if (with_app_library) WriteFile(folder_ + L"\\data\\app.so", "app");
  }
  ~Installation() {
    for (const wchar_t* file : {L"\\camvey.exe", L"\\data\\flutter_assets\\application_script.json",
                                L"\\data\\icudtl.dat", L"\\data\\app.so"}) {
      DeleteFileW((folder_ + file).c_str());
    }
    DeleteFileW((folder_ + kEngineLibrary.substr(kEngineLibrary.find_last_of(L'\\'))).c_str());
    for (const wchar_t* folder : {L"\\data\\flutter_assets", L"\\data", L""}) {
      RemoveDirectoryW((folder_ + folder).c_str());
    }
  }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // Runs the program with `arguments` (already quoted as a command line) from another
  // current directory: the application's files are found next to the executable.
  ProcessRun Start(const std::wstring& arguments) const {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out_read, out_write, err_read, err_write;
    CreatePipe(&out_read, &out_write, &inherit, 0);
    CreatePipe(&err_read, &err_write, &inherit, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    std::wstring command = L"\"" + folder_ + L"\\camvey.exe\" " + arguments;
    PROCESS_INFORMATION process = {};
    ProcessRun run;
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (!started) {
      ADD_FAILURE() << "camvey.exe did not start: " << GetLastError();
      return run;
    }
    std::thread out_reader([&] { run.out = ReadAll(out_read); });
    run.err = ReadAll(err_read);
    out_reader.join();
    if (WaitForSingleObject(process.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 99);
      ADD_FAILURE() << "camvey.exe did not end";
    }
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return run;
  }

  const std::wstring& folder() const { return folder_; }

 private:
  static std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &count, nullptr) && count > 0) {
      text.append(buffer, count);
    }
    return text;
  }

  static inline int count_ = 0;
  std::wstring folder_;
};

constexpr char kNoSteps[] = R"({"steps": []})";

TEST(CamveyProcessTest, TheApplicationGetsEachArgumentAndANormalCloseExitsZero) {
  const Installation installation(kNoSteps, true, true);
  const ProcessRun run = installation.Start(L"a \"b c\" d");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_THAT(Lines(run.out),
              ElementsAre(R"(arguments ["a", "b c", "d"])", "first frame", "end of script"));
  EXPECT_EQ(run.err, "");
}

TEST(CamveyProcessTest, AnArgumentThatIsNotUtf16BecomesEmptyInItsPlace) {
  const Installation installation(kNoSteps, true, true);
  const ProcessRun run = installation.Start(std::wstring(L"a x") + wchar_t{0xd800} + L"y b");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_THAT(Lines(run.out).at(0), R"(arguments ["a", "", "b"])");
}

TEST(CamveyProcessTest, AViewThatCannotBeMadeExitsOneWithALine) {
  const Installation installation(R"({"viewController": "fail"})", true, true);
  const ProcessRun run = installation.Start(L"");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(Lines(run.err), ElementsAre("Failed to create view controller."));
}

TEST(CamveyProcessTest, MissingApplicationFilesStopTheEngineWithALine) {
  const Installation without_icu(kNoSteps, false, true);
  const ProcessRun no_icu = without_icu.Start(L"");
  EXPECT_EQ(no_icu.exit_code, 1u);
  EXPECT_THAT(Lines(no_icu.err),
              ElementsAre("Engine failed to start: cannot find data\\icudtl.dat next to the "
                          "executable.",
                          "Failed to create view controller."));
  const Installation without_app(kNoSteps, true, false);
  const ProcessRun no_app = without_app.Start(L"");
  EXPECT_EQ(no_app.exit_code, 1u);
  EXPECT_THAT(no_app.err, HasSubstr("cannot find data\\app.so next to the executable."));
}

// The resources as the system reads them from the file.
class ProgramResources : public ::testing::Test {
 protected:
  ProgramResources()
      : module_(LoadLibraryExW(kProgram.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ProgramResources() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::string Resource(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (found == nullptr) return std::string();
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }

  HMODULE module_;
};

TEST_F(ProgramResources, IconGroup101HoldsSevenSquareSizes) {
  ASSERT_NE(module_, nullptr);
  const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(101));
  ASSERT_GE(group.size(), 6u);
  const auto count = static_cast<uint8_t>(group[4]);
  ASSERT_EQ(count, 7);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::vector<int> sides;
  for (int i = 0; i < count; ++i) {
    const auto width = static_cast<uint8_t>(group[6 + 14 * i]);
    const auto height = static_cast<uint8_t>(group[7 + 14 * i]);
    EXPECT_EQ(width, height);
    sides.push_back(width == 0 ? 256 : width);
  }
  EXPECT_THAT(sides, ElementsAre(16, 24, 32, 48, 64, 128, 256));
}

TEST_F(ProgramResources, ManifestAndVersionRecord) {
  ASSERT_NE(module_, nullptr);
  const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_THAT(manifest, HasSubstr(R"(level="asInvoker" uiAccess="false")"));
  EXPECT_THAT(manifest, HasSubstr(">PerMonitorV2<"));
  EXPECT_THAT(manifest, HasSubstr("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));

  std::string version(GetFileVersionInfoSizeW(kProgram.c_str(), nullptr), '\0');
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(
      GetFileVersionInfoW(kProgram.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  for (const wchar_t* key : {L"\\StringFileInfo\\040904b0\\FileVersion",
                             L"\\StringFileInfo\\040904b0\\ProductVersion"}) {
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(version.data(), key, reinterpret_cast<void**>(&text), &size));
    EXPECT_EQ(std::wstring(text), L"1.0.0+1");
  }
}

}  // namespace

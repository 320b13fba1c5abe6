// The program as a user installs it: the .deb that CPack builds from this build tree,
// unpacked into a scratch root (never into the system). Its name and control fields, the
// files it installs (program, desktop entry, Spanish and English manual pages, copyright),
// the desktop entry and manual pages passing their validators, and the unpacked program
// starting under Xvfb, drawing its frame and running to the end of a listing.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/program_test.h"
#include "lister/lister.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// A shell command's status and what it wrote to standard output and standard error.
CommandResult shell(const std::string& command, Milliseconds timeout = Milliseconds(20000)) {
  std::vector<std::string> env = cleanEnvironment();
  env.push_back("LC_ALL=C.UTF-8");
  return runCommand({"sh", "-c", command + " 2>&1"}, env, timeout);
}

std::string quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// The package is built once for all the tests of this file, into a scratch folder.
class InstallPackage : public ProgramTest {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/combinaciones-package-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    scratch_ = new fs::path(pattern);
    // The tree is built before the tests run. cpack would first bring it up to date through
    // the Makefiles' pre-install step (a build, of everything, inside a test); naming a
    // generator that has no such step packs what is built, as `cmake --install` would.
    const CommandResult packed =
        shell(std::string(COMBINACIONES_CPACK) + " --config '" + COMBINACIONES_CPACK_CONFIG +
                  "' -G DEB -D CPACK_CMAKE_GENERATOR=Ninja -B " + quoted(*scratch_ / "out"),
              Milliseconds(120000));
    packOutput_ = new std::string(packed.output);
    if (packed.status != 0) return;
    for (const auto& entry : fs::directory_iterator(*scratch_ / "out"))
      if (entry.path().extension() == ".deb") package_ = new fs::path(entry.path());
    if (package_ == nullptr) return;
    const fs::path root = *scratch_ / "root";
    if (shell("dpkg-deb -x " + quoted(*package_) + " " + quoted(root)).status == 0)
      root_ = new fs::path(root);
  }

  static void TearDownTestSuite() {
    if (scratch_ != nullptr) fs::remove_all(*scratch_);
    delete scratch_;
    delete package_;
    delete root_;
    delete packOutput_;
    scratch_ = package_ = root_ = nullptr;
    packOutput_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(package_, nullptr) << "cpack made no .deb:\n" << (packOutput_ ? *packOutput_ : "");
    ASSERT_NE(root_, nullptr) << "dpkg-deb could not unpack " << *package_;
  }

  static std::string field(const std::string& name) {
    return trimmed(shell("dpkg-deb -f " + quoted(*package_) + " " + name).output);
  }

  static inline fs::path* scratch_ = nullptr;
  static inline fs::path* package_ = nullptr;
  static inline fs::path* root_ = nullptr;
  static inline std::string* packOutput_ = nullptr;
};

TEST_F(InstallPackage, IsNamedAndDescribedForDebian) {
  const std::string arch = trimmed(shell("dpkg --print-architecture").output);
  EXPECT_EQ(package_->filename().string(),
            std::string("combinaciones_") + COMBINACIONES_VERSION + "_" + arch + ".deb");
  EXPECT_EQ(field("Package"), "combinaciones");
  EXPECT_EQ(field("Version"), COMBINACIONES_VERSION);
  EXPECT_EQ(field("Architecture"), arch);
  EXPECT_EQ(field("Section"), "math");
  EXPECT_NE(field("Maintainer").find('@'), std::string::npos);
  // The window, full screen and sound come from SDL2; dpkg-shlibdeps names its package.
  EXPECT_NE(field("Depends").find("libsdl2-2.0-0"), std::string::npos) << field("Depends");
  const std::string description = field("Description");
  EXPECT_NE(description.find("every combination of six numbers"), std::string::npos) << description;
  EXPECT_NE(description.find("En español:"), std::string::npos) << description;
  EXPECT_NE(description.find("combinaciones de seis números"), std::string::npos) << description;
}

TEST_F(InstallPackage, InstallsProgramDesktopEntryAndManualPages) {
  const fs::path program = *root_ / "usr/bin/combinaciones";
  struct stat info {};
  ASSERT_EQ(stat(program.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXOTH);
  for (const char* file :
       {"usr/share/applications/combinaciones.desktop", "usr/share/man/man6/combinaciones.6.gz",
        "usr/share/man/es/man6/combinaciones.6.gz", "usr/share/doc/combinaciones/copyright",
        "usr/share/doc/combinaciones/changelog.gz"})
    EXPECT_TRUE(fs::is_regular_file(*root_ / file)) << file;
  // Nothing else: no headers, libraries or test programs.
  const std::string listing = shell("dpkg-deb -c " + quoted(*package_)).output;
  EXPECT_EQ(listing.find("/include/"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("/lib/"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("test"), std::string::npos) << listing;
}

TEST_F(InstallPackage, DesktopEntryIsValidAndBilingual) {
  const fs::path entry = *root_ / "usr/share/applications/combinaciones.desktop";
  const CommandResult validated = shell("desktop-file-validate " + quoted(entry));
  EXPECT_EQ(validated.status, 0);
  EXPECT_EQ(validated.output, "");
  const std::string text = readFile(entry);
  for (const char* line : {"\nType=Application\n", "\nExec=combinaciones\n", "\nTerminal=false\n",
                           "\nName=Combinaciones\n", "\nName[en]=", "\nComment=Lista ",
                           "\nComment[en]=Lists ", "\nCategories=Education;Math;\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(InstallPackage, ManualPagesFormatWithoutWarnings) {
  const struct {
    const char* path;
    const char* heading;
    const char* statusHeading;
  } pages[] = {{"usr/share/man/man6/combinaciones.6.gz", "NAME", "EXIT STATUS"},
               {"usr/share/man/es/man6/combinaciones.6.gz", "NOMBRE", "ESTADO DE SALIDA"}};
  for (const auto& page : pages) {
    const std::string file = quoted(*root_ / page.path);
    const CommandResult warnings = shell(
        "MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 " + file + " >/dev/null");
    EXPECT_EQ(warnings.status, 0) << page.path;
    EXPECT_EQ(warnings.output, "") << page.path;
    // Into a pipe, man gives plain text.
    const std::string text = shell("MANWIDTH=80 man -E UTF-8 -l " + file).output;
    EXPECT_NE(text.find(page.heading), std::string::npos) << text;
    EXPECT_NE(text.find(page.statusHeading), std::string::npos) << text;
    EXPECT_NE(text.find("combinaciones - "), std::string::npos) << text;
    EXPECT_NE(text.find("Alt+"), std::string::npos) << text;
  }
}

// The unpacked program, with the system's SDL2 that the package depends on, on a screen
// of its own: the frame shows, a listing for n = 7 runs, and any key ends it with 0.
TEST_F(InstallPackage, UnpackedProgramRuns) {
  ASSERT_TRUE(startServer("800x600x16"));
  const std::string path = (*root_ / "usr/bin/combinaciones").string();
  program = Process::start({path}, server->environment());
  ASSERT_TRUE(program.has_value()) << "cannot start " << path;
  const std::optional<support::CellGrid> grid = waitForFrame(0, 0, 16);
  ASSERT_TRUE(grid) << "no frame; program output: " << program->output() << program->errors();
  EXPECT_EQ(grid->rowText(2), lister::Banner);

  ASSERT_TRUE(waitForWindow());
  ASSERT_TRUE(server->type("7"));
  ASSERT_TRUE(server->key("Return"));
  const std::string summary = " > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6";
  ASSERT_TRUE(waitUntil([&] { return cells(0, 0).text(34, 1, 60) == summary; }))
      << cells(0, 0).rowText(34);
  EXPECT_EQ(cells(0, 0).text(12, 2, 12), "020304050607");
  ASSERT_TRUE(server->key("x"));
  EXPECT_EQ(program->waitForExit(WaitTimeout), 0);
}

}  // namespace
}  // namespace e2e

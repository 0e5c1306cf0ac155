// The host program: reads its command line, prepares the emulated machine and
// starts the program as Windows would.
#include "loader/CommandLine.h"
#include "loader/ProgramResources.h"
#include "loader/author/DiskCheck.h"
#include "loader/author/DiskFiles.h"
#include "loader/author/DiskTemplate.h"
#include "loader/author/DiskWriter.h"
#include "loader/author/DryRun.h"
#include "loader/author/LayoutWatcher.h"
#include "loader/author/ReleaseSummary.h"
#include "loader/author/SkinSheet.h"
#include "loader/author/WindowsProgram.h"
#include "platform/emu/Machine.h"
#include "platform/emu/host/HostDisplay.h"
#include "platform/emu/host/HostSession.h"
#include "platform/emu/host/ImageDrives.h"
#include "platform/emu/host/InputScript.h"
#include "platform/framework/AfxWin.h"
#include "platform/win32.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef CORVANE_VERSION
#error "the build passes the version as CORVANE_VERSION"
#endif

namespace {

constexpr int kBadUsage = 2;
constexpr int kNoDisplay = 1;
constexpr int kDiskRefused = 1;
constexpr int kImageNotWritten = 5;
constexpr int kStopped = 6;

// The name the program was started as, so that messages name the installed
// program as the user typed it.
std::string programName(const char* argv0) {
    std::string path = argv0 != nullptr && *argv0 != '\0' ? argv0 : "setup";
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Boots the emulated machine with the program's resources; false, with the
// reason on stderr, when the configuration cannot work.
bool bootMachine(const std::string& program, const emu::MachineConfig& config) {
    try {
        emu::boot(config);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return false;
    }
    // The installation's own code page decides over --codepage: say so when
    // they differ, since the option then changes nothing.
    if (config.codePage && GetACP() != *config.codePage) {
        std::fprintf(stderr,
                     "%s: --codepage %u is not used: the installation's registry records code "
                     "page %u (Nls\\CodePage ACP), which the machine runs with\n",
                     program.c_str(), *config.codePage, GetACP());
    }
    loader::registerProgramResources();
    return true;
}

// --check: the disk read on a headless machine, its findings on stdout.
int checkDisk(const std::string& program, emu::host::HostOptions options) {
    options.machine.headless = true;
    if (!bootMachine(program, options.machine)) {
        return kBadUsage;
    }
    // The release first: the findings are about the sections it selects.
    std::string release = "release: " + loader::author::releaseSummary() + "\n";
    loader::author::CheckReport report = loader::author::checkDisk();
    emu::shutdown();
    std::fputs(release.c_str(), stdout);
    std::fputs(report.text().c_str(), stdout);
    return std::fflush(stdout) == 0 ? report.exitStatus() : kBadUsage;
}

// --new-disk: a driver disk to start from, in a new or empty folder.
int newDisk(const std::string& program, const loader::CommandLine& line) {
    std::string error;
    if (!loader::author::DiskTemplate::create(line.newDiskFolder, std::cout, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kDiskRefused;
    }
    std::cout.flush();
    return std::cout.good() ? 0 : kBadUsage;
}

// --make-disk: the disk in the current folder checked and read on one
// headless machine, then written out with the Windows program.
int makeDisk(const std::string& program, const loader::CommandLine& line) {
    using loader::author::DiskWriter;
    std::string windowsProgram, from, error;
    if (DiskWriter::refuseOutput(line.diskOutput, error) ||
        !loader::author::WindowsProgram::read(line.setupExe, windowsProgram, from, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kDiskRefused;
    }
    emu::MachineConfig machine = line.host.machine;
    machine.headless = true;
    if (!bootMachine(program, machine)) {
        return kBadUsage;
    }
    loader::author::CheckReport report = loader::author::checkDisk();
    std::vector<loader::author::DiskFiles::File> files;
    bool read = report.exitStatus() == 0 && loader::author::DiskFiles::read(files, error);
    emu::shutdown();
    std::cout << report.text();
    if (report.exitStatus() != 0) {
        std::cout.flush();
        std::fprintf(stderr, "%s: the check found an error; no disk was written\n",
                     program.c_str());
        return kDiskRefused;
    }
    if (!read) {
        std::cout.flush();
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kDiskRefused;
    }
    files.insert(files.begin(), {"SETUP.EXE", windowsProgram});
    const loader::author::FloppyFormat* format = loader::author::FloppyFormat::ofSize(line.sizeKiB);
    DiskWriter::Result result =
        DiskWriter::write(files, line.diskOutput, *format, std::cout, error);
    std::cout.flush();
    if (result != DiskWriter::Result::Written) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kDiskRefused;
    }
    return std::cout.good() ? 0 : kBadUsage;
}

// Images in use by another copy of the program are waited for, and said so.
void sayWaiting(const std::string& program, const std::string& image) {
    std::fprintf(stderr, "%s: %s is in use by another copy of %s; waiting for it\n",
                 program.c_str(), image.c_str(), program.c_str());
}

// A run with a window tells its user there, too, why the images stay as
// they were: the box is an emulated message box, shown before the machine
// shuts down, the host's only window the user looks at.
void tellWindowedUser(const std::string& error) {
    std::string text = "The changes of this run could not be written into the disk image; it is "
                       "left as it was.\n\n" +
                       error;
    MessageBoxA(nullptr, text.c_str(), "corvane", MB_OK | MB_ICONERROR);
}

// The end of a run that finished: the images take the run's changes. A
// failure is said on stderr and, when the run has a window, in a message box.
int finishImages(const std::string& program, emu::host::ImageDrives& images, int status,
                 bool windowed) {
    std::string error;
    bool written = images.commit(error);
    images.discard();
    if (!written) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        std::fflush(stderr);
        if (windowed) {
            tellWindowedUser(error);
        }
        return kImageNotWritten;
    }
    return status;
}

// The end of a run that did not finish: the images stay as they were.
void dropImages(const std::string& program, emu::host::ImageDrives& images) {
    if (images.hasWritable()) {
        std::fprintf(stderr, "%s: the run did not finish; the disk images are left as they were\n",
                     program.c_str());
    }
    images.discard();
}

// The host's ends of a session, with the images written back when the user
// closed the window and left as they were when the run broke off.
emu::host::SessionEnds imageSessionEnds(const std::string& program, emu::host::ImageDrives& images,
                                        bool windowed) {
    emu::host::SessionEnds ends = emu::host::HostSession::processEnds();
    ends.exhausted = [program, &images, exhausted = ends.exhausted] {
        dropImages(program, images);
        exhausted();
    };
    ends.failed = [program, &images, failed = ends.failed](const std::string& reason) {
        dropImages(program, images);
        failed(reason);
    };
    // A second close while the failure is being told ends the run at once.
    ends.closed = [program, &images, windowed, closed = ends.closed] {
        static bool finishing = false;
        if (finishing) {
            std::fflush(nullptr);
            std::_Exit(kImageNotWritten);
        }
        finishing = true;
        int status = finishImages(program, images, 0, windowed);
        if (status != 0) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        closed();
    };
    return ends;
}

// The last resort for a fault no step of the program handles (the host out
// of memory, say): said on stderr, and the process ends with kStopped rather
// than aborting without a word. Every file the program writes is replaced
// whole, so what it leaves is as it was or as finished.
std::string g_program = "setup";

[[noreturn]] void stopOnFault(const char* what) {
    std::fprintf(stderr, "%s: stopped: %s\n", g_program.c_str(), what);
    std::fflush(nullptr);
    std::_Exit(kStopped);
}

void stopOnUncaughtException() {
    try {
        std::exception_ptr fault = std::current_exception();
        if (fault) {
            std::rethrow_exception(fault);
        }
    } catch (const std::bad_alloc&) {
        stopOnFault("the host has no memory left");
    } catch (const std::exception& e) {
        stopOnFault(e.what());
    } catch (...) {
    }
    stopOnFault("an unexpected fault");
}

int runProgram(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string program = g_program;
    loader::CommandLine line;
    std::string error;
    if (!loader::parseCommandLine(args, line, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                     loader::commandUsage(program).c_str());
        return kBadUsage;
    }
    if (line.action == loader::Action::Help) {
        std::fputs(loader::commandHelp(program).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : kBadUsage;
    }
    if (line.action == loader::Action::Version) {
        std::printf("%s (corvane) %s\n", program.c_str(), CORVANE_VERSION);
        return std::fflush(stdout) == 0 ? 0 : kBadUsage;
    }
    if (line.action == loader::Action::NewDisk) {
        return newDisk(program, line);
    }
    emu::host::HostOptions& options = line.host;
    emu::host::ImageDrives images;
    images.setRollBackNotice([&program](const std::string& image) {
        std::fprintf(stderr,
                     "%s: %s: the write-back of an earlier run was cut short (killed, or a "
                     "power cut); what it had written is put back, the image is as it was "
                     "before that run\n",
                     program.c_str(), image.c_str());
    });
    // Only a run of the program writes its images back.
    bool writeBack = line.action == loader::Action::Run;
    emu::hostsupport::Result<void> opened = images.open(
        options, writeBack, [&program](const std::string& image) { sayWaiting(program, image); });
    if (!opened) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), opened.reason().c_str());
        return kBadUsage;
    }
    if (line.action == loader::Action::MakeDisk) {
        int status = makeDisk(program, line);
        images.discard();
        return status;
    }
    if (line.action == loader::Action::Check) {
        return checkDisk(program, options);
    }
    if (line.action == loader::Action::DryRun) {
        int status = 0;
        bool ran =
            loader::author::DryRun::run(options, line.dryRunCommand, std::cout, status, error);
        emu::shutdown();
        std::cout.flush();
        if (!ran) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
            return kBadUsage;
        }
        return std::cout.good() ? status : kBadUsage;
    }
    if (line.action == loader::Action::Sheet) {
        if (!loader::author::SkinSheet::write(options, line.sheetFile, error)) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
            return kBadUsage;
        }
        return 0;
    }
    emu::host::InputScript script;
    if (!options.inputScript.empty() &&
        !emu::host::InputScript::load(options.inputScript, script, error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return kBadUsage;
    }
    std::unique_ptr<emu::host::HostDisplay> display;
    if (!options.machine.headless) {
        display = emu::host::HostDisplay::open(options.machine.screenWidth,
                                               options.machine.screenHeight, error);
        if (!display) {
            std::fprintf(stderr, "%s: no display available; use --headless\n", program.c_str());
            return kNoDisplay;
        }
    }
    if (!bootMachine(program, options.machine)) {
        return kBadUsage;
    }
    int result = 0;
    const bool windowed = display != nullptr;
    {
        emu::host::HostSession session(std::move(script), std::move(display),
                                       imageSessionEnds(program, images, windowed));
        loader::author::LayoutWatcher watcher;
        if (line.watch) {
            session.setBeforeEachStep([&watcher] { watcher.check(); });
        }
        session.start();
        char commandLine[] = "";
        result = AfxWinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
        // Written back while the machine and its window still run, so that
        // a failure can be shown there.
        if (result == 0) {
            result = finishImages(program, images, result, windowed);
        }
    }
    emu::shutdown();
    if (result != 0) {
        dropImages(program, images);
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    g_program = programName(argv[0]);
    // Threads of the emulated machine end here too.
    std::set_terminate(stopOnUncaughtException);
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        stopOnFault("the host has no memory left");
    } catch (const std::exception& e) {
        stopOnFault(e.what());
    }
}

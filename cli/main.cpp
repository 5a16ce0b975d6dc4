// zelmora-cli: the derivations of Zelmora on the command line.
#include <climits>
#include <cstdio>
#include <exception>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/commands.h"
#include "cli/typing_commands.h"
#include "core/failure.h"
#include "formats/files.h"
#include "zelmora/version.h"

namespace {

// The derivations make and drop buffers of tens of megabytes one after
// another. glibc hands freed memory back to the system by default, and each
// next buffer then faults in fresh zeroed pages (a fifth of `run`'s time on a
// million entries). A command lives only as long as its work, so what it
// frees stays with it for the next buffer.
void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

int Run(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    zelmora::ReserveStandardDescriptors();
    zelmora::RemoveTemporaryFilesOnSignals();
    CLI::App app{"zelmora-cli: derive Wubi-86 code tables (GBK text) from the command line."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("zelmora-cli ") + zelmora::kVersion, "Print the version and exit");
    app.footer("Run 'zelmora-cli COMMAND --help' for the options of a command.");
    zelmora::cli::AddTableCommands(app);
    zelmora::cli::AddEncodeCommand(app);
    zelmora::cli::AddFormatCommands(app);
    zelmora::cli::AddAnalysisCommands(app);
    zelmora::cli::AddTypingCommands(app);
    zelmora::cli::AddTuneCommands(app);
    zelmora::cli::AddShortCodesCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        // diff tells "differ" (1) from "trouble" (2), as diff(1) does; reorder
        // and shortcodes fail with 2 as well.
        return status != 0 &&
                       (app.got_subcommand("diff") || app.got_subcommand("reorder") || app.got_subcommand("shortcodes"))
                   ? 2
                   : status;
    } catch (const zelmora::cli::ExitStatus& e) {
        return e.status;
    } catch (const zelmora::cli::FailureStatus& e) {
        std::fprintf(stderr, "zelmora-cli: %s\n", e.message.c_str());
        return e.status;
    } catch (const zelmora::Failure& e) {
        std::fprintf(stderr, "zelmora-cli: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelmora-cli: %s\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace

// What escapes the commands' own handling (setting them up, printing a
// failure) still ends with a message and status 1, never std::terminate.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelmora-cli: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "zelmora-cli: unexpected failure\n");
    }
    return 1;
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include "tools/inspect/inspect.h"

namespace zlk::inspect {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Usage()
{
    return "usage: zlk-inspect [--key private.pem] [--quiet] stream-file|-\n"
           "Checks a printer job stream and describes it; --key opens its passwords.\n";
}

int Command(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> keyPath, file;
    bool quiet = false, optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsDone && arg == "--") {
            optionsDone = true;
        } else if (!optionsDone && (arg == "--help" || arg == "-h")) {
            out << Usage();
            return 0;
        } else if (!optionsDone && arg == "--quiet") {
            quiet = true;
        } else if (!optionsDone && arg == "--key") {
            if (i + 1 >= args.size()) {
                err << "zlk-inspect: --key needs a file\n" << Usage();
                return 2;
            }
            keyPath = args[++i];
        } else if (!optionsDone && arg.rfind("--key=", 0) == 0) {
            keyPath = arg.substr(6);
        } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            err << "zlk-inspect: unknown option " << arg << "\n" << Usage();
            return 2;
        } else if (file) {
            err << "zlk-inspect: one stream at a time\n" << Usage();
            return 2;
        } else {
            file = arg;
        }
    }
    if (!file) {
        err << Usage();
        return 2;
    }

    std::optional<PrinterKey> key;
    if (keyPath) {
        std::string error;
        key = PrinterKey::Load(*keyPath, error);
        if (!key) {
            err << "zlk-inspect: " << *keyPath << ": " << error << "\n";
            return 2;
        }
    }

    std::string data;
    const std::string name = *file == "-" ? "standard input" : *file;
    if (*file == "-") {
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            data.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (in.bad()) {
            err << "zlk-inspect: " << name << ": cannot read\n";
            return 2;
        }
    } else {
        std::unique_ptr<std::FILE, FileClose> f(std::fopen(file->c_str(), "rb"));
        if (!f) {
            err << "zlk-inspect: " << name << ": cannot read: " << std::strerror(errno) << "\n";
            return 2;
        }
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
            data.append(buffer, n);
        if (std::ferror(f.get())) {
            err << "zlk-inspect: " << name << ": cannot read: " << std::strerror(errno) << "\n";
            return 2;
        }
    }

    const Inspection inspection = Inspect(data, key ? &*key : nullptr);
    if (!inspection.valid) {
        err << "zlk-inspect: " << name << ": invalid job stream: " << inspection.violation << "\n";
        return 1;
    }
    if (!quiet)
        out << Report(inspection, name);
    return 0;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    try {
        return Command(args, in, out, err);
    } catch (const std::exception& e) {
        err << "zlk-inspect: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace zlk::inspect

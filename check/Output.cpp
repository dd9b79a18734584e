#include "Output.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace {

// Two reports fed the same results: the chosen format's, whose status
// counts, and the human one beside it.
class BothVersionReports : public VersionReport {
public:
    BothVersionReports(std::unique_ptr<VersionReport> chosen, std::unique_ptr<VersionReport> human)
        : chosen(std::move(chosen)), human(std::move(human)) {}
    void begin(const VersionResult& header) override {
        chosen->begin(header);
        human->begin(header);
    }
    void add(const CaseResult& result) override {
        chosen->add(result);
        human->add(result);
    }
    int finish(const VersionResult& whole) override {
        human->finish(whole);
        return chosen->finish(whole);
    }

private:
    const std::unique_ptr<VersionReport> chosen, human;
};

class BothClassReports : public ClassReport {
public:
    BothClassReports(std::unique_ptr<ClassReport> chosen, std::unique_ptr<ClassReport> human)
        : chosen(std::move(chosen)), human(std::move(human)) {}
    void begin(const std::string& lesson, const std::vector<std::string>& names) override {
        chosen->begin(lesson, names);
        human->begin(lesson, names);
    }
    void add(const VersionResult& version) override {
        chosen->add(version);
        human->add(version);
    }
    int finish() override {
        human->finish();
        return chosen->finish();
    }
    void interrupted() override {
        chosen->interrupted();
        human->interrupted();
    }

private:
    const std::unique_ptr<ClassReport> chosen, human;
};

}  // namespace

void ReportTarget::open() {
    out.open(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw CannotWrite("cannot write " + file + ": " + std::strerror(errno));
    }
}

std::unique_ptr<VersionReport> ReportTarget::versionReport() {
    if (file.empty()) {
        return ::versionReport(format, std::cout);
    }
    open();
    if (format == Format::Human) {
        return ::versionReport(format, out);
    }
    return std::make_unique<BothVersionReports>(::versionReport(format, out),
                                                ::versionReport(Format::Human, std::cout));
}

std::unique_ptr<ClassReport> ReportTarget::classReport() {
    if (file.empty()) {
        return ::classReport(format, std::cout);
    }
    open();
    if (format == Format::Human) {
        return ::classReport(format, out);
    }
    return std::make_unique<BothClassReports>(::classReport(format, out),
                                              ::classReport(Format::Human, std::cout));
}

int ReportTarget::closed(int status) {
    if (!out.is_open()) {
        return status;
    }
    out.close();
    if (!out) {
        std::cerr << "lessons-check: cannot write " << file << " whole\n";
        return 1;
    }
    return status;
}

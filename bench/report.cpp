#include "report.h"

#include <cstdarg>

namespace bench {

void Report::Row(const std::string& key, const std::string& title, const std::string& target,
                 const std::string& cell) {
    lines_.push_back(Line{key, title, target, cell});
}

void Report::Print(std::FILE* out, const std::string& label) const {
    std::fprintf(out, "\n| figure (%s) | value | target |\n|---|---|---|\n", label.c_str());
    for (const Line& line : lines_) {
        std::fprintf(out, "| %s | %s | %s |\n", line.title.c_str(), line.cell.c_str(), line.target.c_str());
    }
    std::fflush(out);
}

bool Report::WriteFigures(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    for (const Line& line : lines_) {
        std::fprintf(file, "%s\t%s\t%s\t%s\n", line.key.c_str(), line.title.c_str(), line.target.c_str(),
                     line.cell.c_str());
    }
    return std::fclose(file) == 0;
}

std::string Timing(const Samples& samples) {
    return Format("%.1f / %.1f", samples.Median(), samples.P99());
}

std::string TimingMs(const Samples& samples) {
    return Format("%.2f / %.2f", samples.Median() / 1000.0, samples.P99() / 1000.0);
}

std::string Ratio(double value) { return Format("%.2fx", value); }

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

}  // namespace bench

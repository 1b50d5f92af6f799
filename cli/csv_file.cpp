#include "cli/csv_file.h"

#include "cli/number_text.h"

bool CsvFile::open(const std::string& path, std::string_view header, std::string* error) {
    if (!file_.open(path, error)) return false;
    file_.write(header);
    file_.write("\n");
    return true;
}

void CsvFile::writeRow(std::span<const double> fields) {
    line_.clear();
    for (const double value : fields) {
        if (!line_.empty()) line_ += ',';
        line_ += numberText(value);
    }
    line_ += '\n';
    file_.write(line_);
}

bool CsvFile::close(std::string* error) { return file_.commit(error); }

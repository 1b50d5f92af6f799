#include "platform/data_exchange.h"

#include <QComboBox>
#include <QLineEdit>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/application.h"
#include "platform/prompter.h"

namespace {

constexpr std::string_view kBlanks = " \t\n\v\f\r";

// What a number field says of a text that is no number.
constexpr char kNotAnInteger[] = "Please enter an integer.";
constexpr char kNotANumber[] = "Please enter a number.";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipBlanks(std::string_view s, std::size_t at) {
    const std::size_t first = s.find_first_not_of(kBlanks, at);
    return first == std::string_view::npos ? s.size() : first;
}

// from_chars reports a number too small for a double the same way as one too
// large; scanf makes the small one zero. The decimal exponent of the first
// significant digit tells them apart.
bool underflows(std::string_view number) {
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
        for (const char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 1LL << 40);
        if (negative) exponent = -exponent;
    }
    const std::size_t point = mantissa.find('.');
    const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
    long long position = static_cast<long long>(integerDigits);
    for (const char c : mantissa) {
        if (c == '.') continue;
        --position;
        if (c >= '1' && c <= '9') break;
    }
    return position + exponent < 0;
}

// Both scanners read from the front of s and set end to the first character
// after the number.
ScanResult scanDoublePrefix(std::string_view s, double& value, std::size_t& end) {
    std::size_t at = skipBlanks(s, 0);
    bool negative = false;
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) negative = s[at++] == '-';
    // from_chars takes no sign of its own here, so "+-1" is not a number.
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) return ScanResult::NotANumber;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(s.data() + at, s.data() + s.size(), v);
    if (ec == std::errc::invalid_argument) return ScanResult::NotANumber;
    end = static_cast<std::size_t>(ptr - s.data());
    if (ec == std::errc::result_out_of_range) {
        if (!underflows(s.substr(at, end - at))) return ScanResult::OutOfRange;
        v = 0.0;
    }
    if (!std::isfinite(v)) return ScanResult::OutOfRange;
    value = negative ? -v : v;
    return ScanResult::Number;
}

ScanResult scanIntPrefix(std::string_view s, int& value, std::size_t& end) {
    std::size_t at = skipBlanks(s, 0);
    bool negative = false;
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) negative = s[at++] == '-';
    const std::size_t digitsStart = at;
    long long magnitude = 0;
    for (; at < s.size() && isDigit(s[at]); ++at)
        magnitude = std::min(magnitude * 10 + (s[at] - '0'), static_cast<long long>(INT_MAX) + 1);
    if (at == digitsStart) return ScanResult::NotANumber;
    end = at;
    const long long v = negative ? -magnitude : magnitude;
    if (v < INT_MIN || v > INT_MAX) return ScanResult::OutOfRange;
    value = static_cast<int>(v);
    return ScanResult::Number;
}

bool onlyBlanksFrom(std::string_view s, std::size_t at) { return skipBlanks(s, at) == s.size(); }

// Whether the dialogs, reading text, get exactly value back.
bool readsBack(std::string_view text, double value) {
    double back = 0.0;
    std::size_t end = 0;
    return scanDoublePrefix(text, back, end) == ScanResult::Number && end == text.size() && back == value;
}

}  // namespace

ScanResult scanInt(const QString& text, int& value) {
    const std::string s = text.toStdString();
    std::size_t end = 0;
    return scanIntPrefix(s, value, end);
}

ScanResult scanDouble(const QString& text, double& value) {
    const std::string s = text.toStdString();
    std::size_t end = 0;
    return scanDoublePrefix(s, value, end);
}

ScanResult scanWholeInt(const QString& text, int& value) {
    const std::string s = text.toStdString();
    std::size_t end = 0;
    int v = 0;
    const ScanResult result = scanIntPrefix(s, v, end);
    if (result != ScanResult::Number) return result;
    if (!onlyBlanksFrom(s, end)) return ScanResult::NotANumber;
    value = v;
    return result;
}

ScanResult scanWholeDouble(const QString& text, double& value) {
    const std::string s = text.toStdString();
    std::size_t end = 0;
    double v = 0.0;
    const ScanResult result = scanDoublePrefix(s, v, end);
    if (result != ScanResult::Number) return result;
    if (!onlyBlanksFrom(s, end)) return ScanResult::NotANumber;
    value = v;
    return result;
}

QString formatInt(int value) { return QString::number(value); }

QString formatFixed(double value) {
    // sign, 309 integer digits, point and six decimals of the largest double
    char buf[320];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    return QString::fromLatin1(buf, static_cast<qsizetype>(result.ptr - buf));
}

QString formatSignificant(double value) {
    // Fifteen digits show a typed 0.1 as 0.1; a computed value may need all
    // seventeen to come back unchanged.
    char buf[32];
    std::string_view text;
    for (int digits = 15; digits <= 17; ++digits) {
        const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
        text = std::string_view(buf, static_cast<std::size_t>(result.ptr - buf));
        if (readsBack(text, value)) break;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString formatExact(double value) {
    const QString fixed = formatFixed(value);
    return readsBack(fixed.toStdString(), value) ? fixed : formatSignificant(value);
}

void processingError(const QString& text) {
    const QString caption = QStringLiteral("Processing Error");
    if (Application* app = Application::instance()) {
        app->prompter().messageBox(text, caption, MessageButtons::Ok, MessageIcon::None);
    } else {
        QtPrompter().messageBox(text, caption, MessageButtons::Ok, MessageIcon::None);
    }
}

void rejectEntry(QLineEdit* field, const QString& text) {
    processingError(text);
    field->setFocus();
    field->selectAll();
}

void EntryChecks::number(QLineEdit* field, const QString& text, int& value, const char* outOfRange) {
    scanned(scanInt(text, value), field, kNotAnInteger, outOfRange);
}

void EntryChecks::number(QLineEdit* field, const QString& text, double& value, const char* outOfRange) {
    scanned(scanDouble(text, value), field, kNotANumber, outOfRange);
}

void EntryChecks::scanned(ScanResult scan, QLineEdit* field, const char* notANumber, const char* outOfRange) {
    check(scan == ScanResult::NotANumber, notANumber, field);
    check(scan == ScanResult::OutOfRange, outOfRange, field);
}

bool EntryChecks::passed() const {
    if (!field_) return true;
    rejectEntry(field_, failure_);
    return false;
}

QStringList sortedItems(QStringList items) {
    items.sort(Qt::CaseInsensitive);
    return items;
}

void DataExchange::text(QComboBox* control, QString& value) {
    if (control->isEditable()) {
        text(control->lineEdit(), value);
        return;
    }
    if (skip()) return;
    if (saving_)
        value = control->currentText();
    else
        control->setCurrentIndex(control->findText(value));
}

void DataExchange::text(QLineEdit* control, QString& value) {
    if (skip()) return;
    if (saving_)
        value = control->text();
    else
        control->setText(value);
}

void DataExchange::listIndex(QComboBox* control, int& index) {
    if (skip()) return;
    if (!saving_) {
        control->setCurrentIndex(index >= 0 && index < control->count() ? index : -1);
    } else if (control->currentIndex() >= 0) {
        index = control->currentIndex();
    }
}

void DataExchange::number(QLineEdit* control, int& value) {
    if (skip()) return;
    if (!saving_) {
        control->setText(formatInt(value));
        return;
    }
    if (scanWholeInt(control->text(), value) != ScanResult::Number) fail(control, QString::fromLatin1(kNotAnInteger));
}

void DataExchange::number(QLineEdit* control, double& value) {
    if (skip()) return;
    if (!saving_) {
        control->setText(formatExact(value));
        return;
    }
    if (scanWholeDouble(control->text(), value) != ScanResult::Number) fail(control, QString::fromLatin1(kNotANumber));
}

void DataExchange::fail(QLineEdit* control, const QString& message) {
    failed_ = true;
    rejectEntry(control, message);
}

#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QWidget;

// Numbers typed into dialogs are read and shown in the C locale, whatever the
// desktop's language: a German desktop still types and sees "400.000000".

// What reading a number from the front of a text found.
enum class ScanResult {
    Number,       // a finite number, stored in the value
    NotANumber,   // the text does not begin with a number; the value is untouched
    OutOfRange,   // "nan", "inf", or beyond the range of the type; the value is untouched
};

// Reads like "%d" and "%lf": blanks are skipped, an optional sign and the
// longest number that follows are read, and whatever comes after is ignored.
ScanResult scanInt(const QString& text, int& value);
ScanResult scanDouble(const QString& text, double& value);
// The same, but the whole text must be the number (blanks around it are
// allowed): anything after it makes it NotANumber.
ScanResult scanWholeInt(const QString& text, int& value);
ScanResult scanWholeDouble(const QString& text, double& value);

// "%d" and "%f" (six decimals, no exponent, as many integer digits as needed).
QString formatInt(int value);
QString formatFixed(double value);
// "%.15g", or sixteen or seventeen digits where fifteen would not read back as
// the same double: a value shown so survives OK pressed without an edit.
QString formatSignificant(double value);
// "%f" where six decimals read back as the same double, as the usual settings
// do (400.000000); formatSignificant where they would not, so that a mass of
// 1e-7 is neither shown nor stored as 0.000000.
QString formatExact(double value);

// The message box of a rejected dialog entry: caption "Processing Error" and
// one OK button. The dialog that shows it stays open.
void processingError(const QString& text);
// The same for the entry of one field, which then gets the focus with its
// text selected, ready to be typed over.
void rejectEntry(QLineEdit* field, const QString& text);

// The checks of a dialog's entries, made in a fixed order: only the first that
// fails is reported, at its field.
class EntryChecks {
public:
    void check(bool bad, const char* message, QLineEdit* field) {
        if (bad && !field_) {
            failure_ = QString::fromLatin1(message);
            field_ = field;
        }
    }
    // Reads the number at the front of the text, as scanInt and scanDouble
    // do ("12.5 stars" is 12.5). A text that does not begin with one fails
    // as a number field of the data exchange does, "nan", "inf" and numbers
    // beyond the type with outOfRange; the value is then untouched.
    void number(QLineEdit* field, const QString& text, int& value, const char* outOfRange);
    void number(QLineEdit* field, const QString& text, double& value, const char* outOfRange);
    // Shows the first failure as a processing error at its field; true when
    // all passed.
    bool passed() const;

private:
    void scanned(ScanResult scan, QLineEdit* field, const char* notANumber, const char* outOfRange);

    QString failure_;
    QLineEdit* field_ = nullptr;
};

// Items as a sorted list box keeps them: ordered as text, ignoring case.
QStringList sortedItems(QStringList items);

// Moves values between a dialog's controls and its members, in one direction
// per pass. Saving stops at the first entry that fails: its message is shown,
// the control gets the focus back, and later exchanges of the pass are skipped.
class DataExchange {
public:
    explicit DataExchange(bool saveAndValidate) : saving_(saveAndValidate) {}

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }

    // The edit text; for a drop-down list, the selected entry's text.
    void text(QComboBox* control, QString& value);
    void text(QLineEdit* control, QString& value);
    // The selected entry. An index the list does not have shows no selection,
    // and saving without a selection leaves the member as it was.
    void listIndex(QComboBox* control, int& index);
    // The whole text must be one number (blanks around it are allowed).
    void number(QLineEdit* control, int& value);
    void number(QLineEdit* control, double& value);

private:
    bool skip() const { return saving_ && failed_; }
    void fail(QLineEdit* control, const QString& message);

    bool saving_;
    bool failed_ = false;
};

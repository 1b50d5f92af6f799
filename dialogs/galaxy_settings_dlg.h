#pragma once

#include <QDialog>
#include <QString>

class DataExchange;

// Edits the settings that the next New Galaxy generates from: star count,
// distribution, star mass, rotation factor, central mass and the dark-matter
// halo. The galaxy on screen does not change. OK writes nothing unless every
// entry passes its check; a failed check keeps the dialog open.
class CGalaxySettingsDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog template; the heading picture goes by the
    // number of its bitmap.
    enum : int {
        IdStars = 1002,
        IdStarMass = 1003,
        IdDistribution = 1004,
        IdRotation = 1005,
        IdCentralMass = 1006,
        IdDarkRadius = 1017,
        IdDarkFraction = 1019,
        IdDarkMatter = 1021,
        IdHeading = 141,
    };

    explicit CGalaxySettingsDlg(QWidget* parent = nullptr);

    // The control with a template id, null for an unknown id.
    QWidget* control(int id) const;

    // Reads the controls into the members (save) or shows the members in
    // them; false when an entry was rejected.
    bool UpdateData(bool saveAndValidate);

    void accept() override;

    int shapeIndex;
    QString starsText;
    QString starMassText;
    QString rotationText;
    QString centralMassText;
    int darkMatterIndex;
    QString darkRadiusText;
    QString darkFractionText;

private:
    void DoDataExchange(DataExchange& dx);
};

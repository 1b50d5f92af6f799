#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <optional>

#include "physics/equilibrium.h"

class CModelPreview;

// Chooses an equilibrium model (a Plummer, Hernquist or NFW sphere, or a disc
// galaxy with its bulge and halo), its numbers in the units of the scale, the
// stars of each part and the seed, with a preview of the model's circular
// speed and of its disc's Q that follows the fields as they are typed. OK
// writes the galaxy's settings only when every field reads and the model can
// be built; the caller then generates it as New Galaxy does.
class CNewModelDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog.
    enum : int {
        IdModel = 1201,
        IdTotalMass,
        IdScaleRadius,
        IdDiscMass,
        IdDiscScaleLength,
        IdDiscHeight,
        IdToomreQ,
        IdConstantQ,
        IdBulgeMass,
        IdBulgeRadius,
        IdHalo,
        IdHaloMass,
        IdHaloRadius,
        IdConcentration,
        IdMassCutoff,
        IdStars,
        IdBulgeStars,
        IdHaloStars,
        IdSeed,
        IdPreview,
    };

    explicit CNewModelDlg(QWidget* parent = nullptr);

    // The control with an id, null for an unknown id.
    QWidget* control(int id) const;
    const CModelPreview* preview() const { return preview_; }

    void accept() override;

private:
    // What the fields say: the model's inputs beside the galaxy's central
    // mass and rigid halo, and the seed; failure names the first field that
    // does not read, or else why the model cannot be built, and is empty
    // when it can.
    struct Reading {
        ModelInputs inputs;
        std::optional<unsigned> seed;
        QString failure;
    };
    Reading read() const;
    int chosenShape() const;
    int chosenHalo() const;
    // Only the fields of the chosen model and halo can be edited.
    void enableFields();
    void updatePreview();

    CModelPreview* preview_ = nullptr;
    // The preview waits until typing pauses.
    QTimer previewDelay_;
};

#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include "physics/equilibrium.h"

class QPainter;

// What a model would look like before it is built: its circular speed in the
// plane against radius, in total and of each part, and beside it Toomre's Q of
// a disc; or, while the values describe no model, why not.
class CModelPreview : public QWidget {
    Q_OBJECT
public:
    explicit CModelPreview(QWidget* parent = nullptr);

    // Radii in lengthUnit, speeds in lengthUnit per timeUnit.
    void showCurves(ModelCurves curves, const QString& lengthUnit, const QString& timeUnit);
    void showProblem(const QString& reason);

    // The reason shown, empty while curves are.
    const QString& problem() const { return problem_; }
    const ModelCurves& curves() const { return curves_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void draw(QPainter& dc) const;

    ModelCurves curves_;
    QString problem_;
    QString lengthUnit_, timeUnit_;
};

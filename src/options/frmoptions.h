#pragma once

#include <QColor>
#include <QDialog>
#include <QList>

class ClickableLabel;
class Diary;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QAction;
class QMenu;
class QPushButton;
class QTabBar;

// The options dialog: music now and at the next start, the main window's
// colour, and the journal calendar's first day of the week and today marker.
class FrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit FrmOptions(Diary *owner);

    struct Swatch {
        const char *name;
        QColor colour;
    };
    static const QList<Swatch> &swatches();
    static const QStringList &dayNames(); // Monday first, as the list shows them

    QTabBar *tbsOptions;
    QList<QFrame *> Frame; // music, colour, calendar

    QLabel *midset;
    QComboBox *Combomid;
    QLineEdit *Textrandom;
    QCheckBox *Checkmid;
    QCheckBox *Checksmid;

    QLabel *Label4;
    QList<ClickableLabel *> swatchLabels;
    QCheckBox *Checkcolor;

    QLabel *Label2;
    QComboBox *Comboweek;
    QCheckBox *Checktoday;

    QPushButton *Cmdok;
    QPushButton *Cmdcancel;
    QPushButton *cmdApply;

    // The main window's pop-up menu lives here.
    QMenu *menufile;
    QAction *menudiary;
    QAction *menuphoto;
    QAction *menustory;
    QAction *menuadd;
    QAction *menuoption;
    QAction *menuabout;
    QAction *menuhelp;

public Q_SLOTS:
    void tbsOptions_Click();
    void swatch_Click(int index);
    void cmdApply_Click();
    void Cmdok_Click();
    void Cmdcancel_Click();

private:
    void Form_Load();
    void buildMenu();
    void changed();

    Diary *m_diary;
};

// The make-up of the editor window: every control with its position, size and caption.
#include <QFont>

#include "Form1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

constexpr ColourValue kSurfaceColour = MakeColour(36, 38, 46);

Label* MakeLabel(QWidget* parent, const QString& caption, int x, int y, int w, int h) {
    auto* label = new Label(parent, caption);
    label->setGeometry(x, y, w, h);
    return label;
}

ComboBox* MakeCombo(QWidget* parent, int x, int y, int w) {
    auto* combo = new ComboBox(parent);
    combo->setGeometry(x, y, w, 21);
    return combo;
}

CommandButton* MakeButton(QWidget* parent, const QString& caption, int x, int y, int w, int h) {
    auto* button = new CommandButton(parent, caption);
    button->setGeometry(x, y, w, h);
    return button;
}

}  // namespace

void Form1::CreateControls() {
    setWindowTitle("Krellon Boards Editor");
    // Messages keep this title wherever the window is placed.
    setProperty("messageTitle", windowTitle());
    // 575 high rather than 481: at 481 the brick palette would be cut off after its fourth row.
    setFixedSize(754, 575);
    // The classic 8-point dialog font keeps every caption inside its designed size.
    QFont font = this->font();
    font.setFamilies({"Liberation Sans", "Arial", "DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPixelSize(11);
    setFont(font);

    Label6 = MakeLabel(this, "BDS File", 8, 8, 81, 17);
    Combo3 = MakeCombo(this, 8, 24, 105);
    Label3 = MakeLabel(this, "Board set", 120, 10, 57, 17);
    Label1 = MakeLabel(this, "Label1", 184, 8, 137, 17);
    Label4 = MakeLabel(this, "Author", 120, 34, 57, 17);
    Label2 = MakeLabel(this, "Label2", 184, 32, 137, 17);
    Command1 = MakeButton(this, "Command1", 360, 8, 65, 41);
    Label5 = MakeLabel(this, "Label5", 424, 16, 105, 25);
    Command2 = MakeButton(this, "Command2", 528, 8, 65, 41);

    Picture1 = new PictureBox(this, MakeColour(0, 0, 0));
    Picture1->Move(0, 56, 600, 300);

    Label7 = MakeLabel(this, "Background set file", 616, 24, 113, 17);
    Combo4 = MakeCombo(this, 616, 40, 129);
    Label8 = MakeLabel(this, "Background", 616, 72, 113, 17);
    Combo1 = MakeCombo(this, 616, 88, 129);
    Option1 = new OptionButtons(this, {"Textured", "Half-bright", "Black"});
    for (int i = 0; i < 3; ++i) {
        Option1->Button(i)->setGeometry(640, 120 + 16 * i, 81, 16);
    }
    Picture3 = new PictureBox(this, kSurfaceColour);
    Picture3->Move(616, 168, 128, 128);
    Label9 = MakeLabel(this, "Brick set file", 616, 320, 113, 17);
    Combo5 = MakeCombo(this, 616, 336, 129);
    Label10 = MakeLabel(this, "Brick", 616, 368, 113, 17);
    Combo2 = MakeCombo(this, 616, 384, 129);
    Picture4 = new PictureBox(this, kSurfaceColour);
    Picture4->Move(632, 420, 90, 45);

    Check1 = new CheckBox(this, "Show hidden bricks");
    Check1->setGeometry(24, 368, 121, 13);
    Check1->setChecked(true);
    Command3 = MakeButton(this, "Clear Board", 344, 368, 81, 25);
    Command4 = MakeButton(this, "Save to  KrelEdit.bds", 440, 368, 145, 25);
    Picture2 = new PictureBox(this, kSurfaceColour);
    Picture2->Move(24, 400, 561, 167);

    QFont bold = Label5->font();
    bold.setBold(true);
    bold.setPointSizeF(13.5);
    Label5->setFont(bold);
    Label5->setAlignment(Qt::AlignCenter);
    ConnectControls();
}

void Form1::ConnectControls() {
    Combo1->ClickHandler = [this] { Combo1_Click(); };
    Combo2->ClickHandler = [this] { Combo2_Click(); };
    Combo3->ClickHandler = [this] { Combo3_Click(); };
    Combo4->ClickHandler = [this] { Combo4_Click(); };
    Combo5->ClickHandler = [this] { Combo5_Click(); };
    connect(Option1, &OptionButtons::optionClicked, this, &Form1::Option1_Click);
    Check1->Click = [this] { Check1_Click(); };
    Command1->Click = [this] { Command1_Click(); };
    Command2->Click = [this] { Command2_Click(); };
    Command3->Click = [this] { Command3_Click(); };
    Command4->Click = [this] { Command4_Click(); };
    for (Label* name : {Label1, Label2}) {
        name->setCursor(Qt::PointingHandCursor);
        name->setToolTip("Click to rename");
    }
    Label1->Click = [this] { Label1_Click(); };
    Label2->Click = [this] { Label2_Click(); };
    // Presses on the board reach Picture1_MouseDown through the painting tools, Press being
    // one of them.
    connect(Picture2, &PictureBox::mouseDown, this, &Form1::Picture2_MouseDown);
    connect(Picture3, &PictureBox::clicked, this, &Form1::Picture3_Click);
    connect(Picture4, &PictureBox::clicked, this, &Form1::Picture4_Click);
    Picture3->setCursor(Qt::PointingHandCursor);
    Picture4->setCursor(Qt::PointingHandCursor);
    Picture1->ToolTipAt = [this](int x, int y) { return BoardToolTip(x, y); };
    Picture2->ToolTipAt = [this](int x, int y) { return PaletteToolTip(x, y); };
}

}  // namespace krellon

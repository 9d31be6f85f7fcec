// The brick set: every brick decoded once into the look's sheet, which the palette surface
// Picture2 shows, the brick list, and the enlarged view of the selected brick in Picture4.
#include "Form1.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"

namespace krellon {

void Form1::LoadBricks() {
    Combo5->SetText(BrickSetFile());
    // The palette lets go of the last sheet first, so that the new one is drawn in its place.
    Picture2->image() = QImage();
    Look->readBricks(BrickSetFile());
    // The palette shows the look's sheet: the bricks on the surface colour.
    Picture2->image() = Look->sheet();
    QStringList names;
    for (int k = 1; k <= BrickCount(); ++k) {
        names << BrickNames()[static_cast<std::size_t>(k)];
    }
    Combo2->SetItems(names);
    if (BrickCount() < SelectedBrick) {
        SelectedBrick = BrickCount();
    }
    Picture2->Refresh();
    DrawSelectedBrick();
    if (SelectedBrick >= 1) {
        Combo2->SetListIndex(SelectedBrick - 1);
    } else {
        // No brick selected: the list shows none either, not the first entry a new list
        // selects by itself.
        Combo2->SetTextNoSelection(QString());
    }
}

std::int32_t Form1::BrickCount() const {
    return Look->brickCount();
}

const std::array<QString, Form1::kMaxBrickCode + 1>& Form1::BrickNames() const {
    return Look->brickNames();
}

void Form1::DrawSelectedBrick() {
    // With no brick selected (a set without bricks) the view stays blank.
    Picture4->Cls();
    if (SelectedBrick >= 1 && SelectedBrick <= kMaxBrickCode) {
        Picture4->PaintPicture(*Picture2, 0, 0, 90, 45, SlotLeft(SelectedBrick),
                               SlotTop(SelectedBrick), 30, 15);
    }
    Picture4->Refresh();
}

void Form1::Combo2_Click() {
    if (Combo2->ListIndex() + 1 == SelectedBrick) {
        return;
    }
    SelectedBrick = Combo2->ListIndex() + 1;
    DrawSelectedBrick();
}

void Form1::Combo5_Click() {
    if (Combo5->Text() == BrickSetFile()) {
        return;
    }
    if (!StorableName(Combo5->Text())) {
        RefuseUnstorableName(Combo5, BrickSetFile());
        return;
    }
    Document->setBrickSetFile(ToCp1252(Combo5->Text()));
}

}  // namespace krellon

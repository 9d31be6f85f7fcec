// Every change to the set is one step that undo and redo take back and forth, through the real
// editor: the set's bytes and the board's pixels come back exactly.
#include <random>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

using namespace krellon;

class UndoTest : public EditorTest {
protected:
    void SetUp() override {
        std::vector<ImageSpec> bricks = TestBricks(6);
        bricks[3].name = "Hidden";  // code 4
        WriteImages("bricks.img", bricks);
        WriteImages("more.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 128, 128, 3)});
        WriteImages("other backs.img", {TestBackground("c", 64, 64, 7)});
        BoardSetContent set = TestSet(3);
        set.boards[0].cell(1, 1) = 2;
        set.boards[1].cell(4, 4) = 4;
        set.boards[2].cell(7, 2) = 9;  // not in the brick set: the missing-brick mark
        WriteBoardSet("set.bds", set);
        Open();
    }

    QUndoStack& Stack() { return *form->Document->undoStack(); }

    // What the board would show if it were painted afresh now.
    QImage FreshBoard() {
        const QImage shown = form->Picture1->image().copy();
        form->PaintBoard();
        return shown == form->Picture1->image() ? shown : QImage();
    }
};

TEST_F(UndoTest, EachKindOfChangeIsOneNamedStep) {
    Form1& f = *form;
    f.Picture1_MouseDown(1, 5, 5);
    f.Picture1_MouseDown(2, 35, 20);
    f.Command3->click();
    SetInputHandlerForTesting([](auto&&...) { return QString("New name"); });
    f.Label1_Click();
    f.Label2_Click();
    Pick(f.Combo1, 1);
    Pick(f.Combo4, f.Combo4->findText("other backs.img"));
    Pick(f.Combo5, f.Combo5->findText("more.img"));
    QStringList steps;
    for (int i = 0; i < Stack().count(); ++i) {
        steps << Stack().text(i);
    }
    EXPECT_EQ(steps, QStringList({"Place Brick", "Remove Brick", "Clear Board", "Rename Set",
                                  "Rename Author", "Change Background", "Change Background Set",
                                  "Change Brick Set"}));
    // Views are not steps: the mode, hidden bricks, the brick chosen, the board shown.
    f.Option1->Button(2)->click();
    f.Check1->click();
    Pick(f.Combo2, 2);
    f.Command2->click();
    EXPECT_EQ(Stack().count(), 8);
    // Nothing changed, no step: the same brick again, the same name again.
    f.Picture1_MouseDown(2, 35, 20);
    f.Label1_Click();
    EXPECT_EQ(Stack().count(), 8);
}

TEST_F(UndoTest, UndoingAStepOnAnotherBoardShowsThatBoardAndRepaintsIt) {
    Form1& f = *form;
    f.Command2->click();
    f.Picture1_MouseDown(1, 95, 50);  // brick 1 at (3, 3) of board 2
    f.Command2->click();
    ASSERT_EQ(f.CurrentBoard, 3);
    Stack().undo();
    EXPECT_EQ(f.CurrentBoard, 2);
    EXPECT_EQ(f.Label5->Caption(), "Board 2");
    EXPECT_EQ(f.Command2->Caption(), "Board 3 >");
    EXPECT_EQ(f.BrickGrid(2, 3, 3), 0);
    EXPECT_FALSE(FreshBoard().isNull());
    f.Command1->click();
    Stack().redo();
    EXPECT_EQ(f.CurrentBoard, 2);
    EXPECT_EQ(f.BrickGrid(2, 3, 3), 1);
    EXPECT_FALSE(FreshBoard().isNull());
}

TEST_F(UndoTest, RandomStepsUndoneGiveTheFirstBytesAndRedoneTheLast) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        Form1& f = *form;
        f.BoardSetFile = "set.bds";
        ASSERT_TRUE(f.ReadBoardSet().ok());  // each seed from the file, with a new history
        ASSERT_EQ(Stack().count(), 0);
        std::mt19937 random(seed);
        const auto pick = [&](int n) {
            return static_cast<int>(random() % static_cast<unsigned>(n));
        };
        const auto first = EncodeBoardSet(f.CurrentBoardSet());
        for (int step = 0; step < 60; ++step) {
            const int kind = pick(9);
            if (kind <= 3) {  // three in four presses place the brick picked, one removes
                if (kind < 3) {
                    Pick(f.Combo2, pick(f.Combo2->ListCount()));
                }
                f.Picture1_MouseDown(kind < 3 ? 1 : 2, static_cast<float>(pick(600)),
                                     static_cast<float>(pick(300)));
            } else if (kind == 4) {
                pick(2) ? f.Command2->click() : f.Command1->click();
            } else if (kind == 5 && pick(3) == 0) {
                f.Command3->click();
            } else if (kind == 5 && f.Combo1->ListCount() > 0) {
                Pick(f.Combo1, pick(f.Combo1->ListCount()));
            } else if (kind == 6) {
                const QString name = "name " + QString::number(pick(4));
                SetInputHandlerForTesting([name](auto&&...) { return name; });
                pick(2) ? f.Label1_Click() : f.Label2_Click();
            } else if (kind >= 7) {
                ComboBox* files = kind == 7 ? f.Combo4 : f.Combo5;
                Pick(files, pick(files->ListCount()));
            }
        }
        const auto last = EncodeBoardSet(f.CurrentBoardSet());
        const int steps = Stack().count();
        while (Stack().canUndo()) {
            Stack().undo();
            ASSERT_FALSE(FreshBoard().isNull()) << "seed " << seed << " at " << Stack().index();
        }
        EXPECT_EQ(EncodeBoardSet(f.CurrentBoardSet()), first) << seed;
        EXPECT_FALSE(f.Document->isModified());
        while (Stack().canRedo()) {
            Stack().redo();
        }
        EXPECT_EQ(Stack().count(), steps);
        EXPECT_EQ(EncodeBoardSet(f.CurrentBoardSet()), last) << seed;
        EXPECT_FALSE(FreshBoard().isNull()) << seed;
        EXPECT_EQ(f.Label1->Caption(), f.BoardSetName());
    }
}

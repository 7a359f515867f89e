// Geometry: anchors, constraints, clipping and z-order hit testing.
#include "platform/forms/edit.h"
#include "platform/forms/form.h"
#include "platform/forms/image.h"
#include "platform/forms/panel.h"
#include "test_util.h"

using namespace forms;

namespace {

class Geometry : public formstest::HeadlessTest {
protected:
    TForm* form = new TForm(&Application());
    TImage* Picture(TWinControl* parent, int l, int t, int w, int h, TAnchors anchors) {
        auto* image = new TImage(form);
        image->SetParent(parent);
        image->SetBounds(l, t, w, h);
        image->SetAnchors(anchors);
        return image;
    }
    void SetUp() override { form->SetBounds(0, 0, 400, 300); }
};

TEST_F(Geometry, AnchorsKeepDistanceStretchOrStayCentred) {
    TImage* leftTop = Picture(form, 10, 20, 30, 40, akLeft | akTop);
    TImage* rightBottom = Picture(form, 350, 250, 30, 40, akRight | akBottom);
    TImage* stretched = Picture(form, 10, 0, 380, 20, akLeft | akTop | akRight);
    TImage* tall = Picture(form, 0, 30, 10, 240, akLeft | akTop | akBottom);
    TImage* centred = Picture(form, 180, 130, 40, 40, 0);

    form->SetBounds(0, 0, 600, 500);

    EXPECT_EQ(leftTop->BoundsRect(), Bounds(10, 20, 30, 40));
    EXPECT_EQ(rightBottom->BoundsRect(), Bounds(550, 450, 30, 40));
    EXPECT_EQ(stretched->BoundsRect(), Bounds(10, 0, 580, 20));
    EXPECT_EQ(tall->BoundsRect(), Bounds(0, 30, 10, 440));
    // The centre (200,150) scales with the parent to (300,250).
    EXPECT_EQ(centred->BoundsRect(), Bounds(280, 230, 40, 40));

    form->SetBounds(0, 0, 400, 300);  // back: every control returns exactly
    EXPECT_EQ(rightBottom->BoundsRect(), Bounds(350, 250, 30, 40));
    EXPECT_EQ(stretched->BoundsRect(), Bounds(10, 0, 380, 20));
    EXPECT_EQ(centred->BoundsRect(), Bounds(180, 130, 40, 40));
}

TEST_F(Geometry, PlacingAnAnchoredControlTakesNewRules) {
    TImage* button = Picture(form, 350, 250, 30, 40, akRight | akBottom);
    form->SetBounds(0, 0, 500, 400);
    button->SetLeft(400);  // now 70 from the right edge
    form->SetBounds(0, 0, 600, 400);
    EXPECT_EQ(button->Left(), 500);
    EXPECT_EQ(button->Top(), 350);
}

TEST_F(Geometry, NestedAnchorsFollowTheirOwnParent) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 400, 300);
    panel->SetAnchors(akLeft | akTop | akRight | akBottom);
    TImage* corner = Picture(panel, 380, 280, 10, 10, akRight | akBottom);
    form->SetBounds(0, 0, 450, 320);
    EXPECT_EQ(panel->BoundsRect(), Bounds(0, 0, 450, 320));
    EXPECT_EQ(corner->BoundsRect(), Bounds(430, 300, 10, 10));
}

TEST_F(Geometry, MinimumSizeEnlargesAtOnceAndAnchoredChildrenFollow) {
    TImage* grip = Picture(form, 380, 280, 20, 20, akRight | akBottom);
    form->SetConstraints(TSizeConstraints{900, 700, 0, 0});
    EXPECT_EQ(form->Width(), 900);
    EXPECT_EQ(form->Height(), 700);
    EXPECT_EQ(grip->BoundsRect(), Bounds(880, 680, 20, 20));
    form->SetBounds(0, 0, 100, 100);  // cannot shrink below the minimum
    EXPECT_EQ(form->Width(), 900);
    EXPECT_EQ(form->Height(), 700);
    backend->ResizeWindow(*form, 500, 1000);  // the window manager is held to it too
    EXPECT_EQ(form->Width(), 900);
    EXPECT_EQ(form->Height(), 1000);
    EXPECT_EQ(grip->BoundsRect(), Bounds(880, 980, 20, 20));
    EXPECT_EQ(backend->WindowOf(*form)->Bounds, Bounds(0, 0, 900, 1000));
}

TEST_F(Geometry, MaximumSizeLimitsAndResizeEventFires) {
    int resizes = 0;
    form->OnResize = [&](TObject*) { ++resizes; };
    form->SetConstraints(TSizeConstraints{0, 0, 500, 0});
    form->SetBounds(0, 0, 800, 200);
    EXPECT_EQ(form->Width(), 500);
    EXPECT_EQ(form->Height(), 200);
    EXPECT_EQ(resizes, 1);
    form->SetBounds(10, 10, 500, 200);  // a move alone is no resize
    EXPECT_EQ(resizes, 1);
}

TEST_F(Geometry, HitTestingFollowsZOrderWithWindowedControlsOnTop) {
    TImage* below = Picture(form, 0, 0, 100, 100, akLeft | akTop);
    TImage* above = Picture(form, 50, 50, 100, 100, akLeft | akTop);  // no picture: still a hit zone
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(90, 90, 50, 20);
    TImage* topmostGraphic = Picture(form, 95, 95, 10, 10, akLeft | akTop);  // created last, yet under the edit

    EXPECT_EQ(form->ControlAtPos(TPoint{10, 10}), below);
    EXPECT_EQ(form->ControlAtPos(TPoint{60, 60}), above);
    EXPECT_EQ(form->ControlAtPos(TPoint{100, 100}), edit);
    EXPECT_EQ(form->ControlAtPos(TPoint{300, 250}), form);
    EXPECT_EQ(form->ControlAtPos(TPoint{500, 10}), nullptr);
    (void)topmostGraphic;

    below->BringToFront();
    EXPECT_EQ(form->ControlAtPos(TPoint{60, 60}), below);
    above->SetVisible(false);
    below->SetEnabled(false);
    EXPECT_EQ(form->ControlAtPos(TPoint{60, 60}), form);
    EXPECT_EQ(form->ControlAtPos(TPoint{60, 60}, true), below);
}

TEST_F(Geometry, ControlsOutsideTheirParentAreNeitherHitNorDrawn) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(100, 100, 50, 50);
    panel->BevelOuter = bvNone;
    panel->SetColor(clBlue);
    TImage* half = Picture(panel, 40, 40, 30, 30, akLeft | akTop);  // pokes out of the panel
    half->Picture().SetBitmap(formstest::SolidBitmap(30, 30, formstest::Rgb(255, 0, 0)));
    form->SetColor(clWhite);
    form->Show();

    EXPECT_EQ(form->ControlAtPos(TPoint{145, 145}), half);
    EXPECT_EQ(form->ControlAtPos(TPoint{155, 155}), form);
    EXPECT_EQ(half->VisibleFormRect(), Rect(140, 140, 150, 150));

    TBitmap shot = backend->Snapshot(*form);
    EXPECT_EQ(shot.Pixel(145, 145), formstest::Rgb(255, 0, 0));
    EXPECT_EQ(shot.Pixel(155, 155), formstest::Rgb(255, 255, 255));
    EXPECT_EQ(shot.Pixel(120, 120), formstest::Rgb(0, 0, 255));
}

TEST_F(Geometry, WindowedPeersFollowTheirParentsAndVisibility) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(100, 50, 200, 100);
    auto* edit = new TEdit(panel);
    edit->SetParent(panel);
    edit->SetBounds(10, 10, 80, 20);
    auto* peer = dynamic_cast<headless::THeadlessEditPeer*>(edit->Peer());
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->Bounds, Bounds(110, 60, 80, 20));
    EXPECT_TRUE(peer->Visible);

    panel->SetLeft(150);
    EXPECT_EQ(peer->Bounds, Bounds(160, 60, 80, 20));
    panel->SetVisible(false);
    EXPECT_FALSE(peer->Visible);
    panel->SetVisible(true);
    edit->SetLeft(500);  // entirely outside the panel
    EXPECT_FALSE(peer->Visible);
}

TEST_F(Geometry, ScreenCentredFormIsPlacedOnFirstShow) {
    backend->SetScreen(TPoint{1280, 1024}, Rect(0, 0, 1280, 994));
    form->SetPosition(poScreenCenter);
    form->SetBounds(0, 0, 900, 700);
    form->Show();
    EXPECT_EQ(form->BoundsRect(), Bounds(190, 162, 900, 700));
    EXPECT_TRUE(backend->WindowOf(*form)->Visible);
    EXPECT_EQ(backend->WindowOf(*form)->Bounds, Bounds(190, 162, 900, 700));
}

TEST_F(Geometry, FreeingAParentDetachesItsChildren) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* image = new TImage(nullptr);
    image->SetParent(panel);
    delete panel;
    EXPECT_EQ(image->Parent(), nullptr);
    EXPECT_EQ(form->ControlCount(), 0);
    delete image;
}

}  // namespace

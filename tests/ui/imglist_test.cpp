#include <gtest/gtest.h>

#include "framework/ui/ImgList.h"

using namespace ui;

namespace {

// Two 3x2 images side by side: image 0 red with a magenta hole at (1,0), image 1 blue with a
// magenta hole at (0,1).
struct ImageListFixture : ::testing::Test {
    TBitmap strip;
    rtl::TOwnedPtr<TCustomImageList> list{TCustomImageList::CreateSize(3, 2)};
    TMemorySurface target{10, 10};
    TCanvas canvas{&target};

    void SetUp() override {
        strip.SetSize(6, 2);
        TCanvas* c = strip.Canvas();
        c->Brush()->SetColor(clRed);
        c->FillRect(Rect(0, 0, 3, 2));
        c->Brush()->SetColor(clBlue);
        c->FillRect(Rect(3, 0, 6, 2));
        c->SetPixel(1, 0, clFuchsia);
        c->SetPixel(3, 1, clFuchsia);
    }
};

}  // namespace

TEST_F(ImageListFixture, AddMaskedSplitsAWideBitmapAndMasksTheColour) {
    EXPECT_FALSE(list->HandleAllocated());
    EXPECT_EQ(list->AddMasked(&strip, clFuchsia), 0);
    EXPECT_TRUE(list->HandleAllocated());
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->ImagePixel(0, 1, 0), clNone);
    EXPECT_EQ(list->ImagePixel(0, 0, 0), clRed);
    EXPECT_EQ(list->ImagePixel(1, 0, 1), clNone);
    EXPECT_EQ(list->ImagePixel(1, 2, 1), clBlue);
    EXPECT_EQ(list->ImagePixel(2, 0, 0), clNone);

    // clDefault takes the colour of the strip's bottom-left pixel, red.
    rtl::TOwnedPtr<TCustomImageList> other{TCustomImageList::CreateSize(3, 2)};
    other->AddMasked(&strip, clDefault);
    EXPECT_EQ(other->ImagePixel(0, 0, 1), clNone) << "red, the bottom-left colour, is transparent";
    EXPECT_EQ(other->ImagePixel(0, 1, 0), clFuchsia);
}

TEST_F(ImageListFixture, AddWithAMaskBitmap) {
    TBitmap mask;
    mask.SetSize(6, 2);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(Rect(0, 0, 6, 2));
    mask.Canvas()->SetPixel(2, 1, clWhite);
    list->Add(&strip, &mask);
    EXPECT_EQ(list->ImagePixel(0, 2, 1), clNone);
    EXPECT_EQ(list->ImagePixel(0, 1, 0), clFuchsia) << "only the mask decides";
    list->Add(&strip, nullptr);
    EXPECT_EQ(list->Count(), 4);
    EXPECT_EQ(list->ImagePixel(2, 2, 1), clRed);
}

TEST_F(ImageListFixture, BadSizesAndIndexesAreRefused) {
    TBitmap tall;
    tall.SetSize(3, 3);
    EXPECT_THROW(list->AddMasked(&tall, clNone), rtl::EInvalidOperation);
    TBitmap narrow;
    narrow.SetSize(2, 2);
    EXPECT_THROW(list->Add(&narrow, nullptr), rtl::EInvalidOperation);
    EXPECT_THROW(list->Add(nullptr, nullptr), rtl::EInvalidOperation);
    EXPECT_EQ(list->Count(), 0);
    EXPECT_THROW(list->Delete(0), rtl::EInvalidOperation);
    EXPECT_THROW(list->SetSize(0, 5), rtl::EInvalidOperation);
    EXPECT_FALSE(list->DrawEx(&canvas, 0, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL));
    list->Draw(&canvas, 0, 0, 5);  // nothing, no error
    list->AddMasked(&strip, clFuchsia);
    list->Delete(0);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->ImagePixel(0, 2, 1), clBlue);
    list->SetSize(4, 4);
    EXPECT_EQ(list->Count(), 0) << "a new size empties the list";
}

TEST_F(ImageListFixture, DrawKeepsTransparentPixelsOrFillsTheBackground) {
    list->AddMasked(&strip, clFuchsia);
    list->Draw(&canvas, 1, 1, 0);
    EXPECT_EQ(target.GetPixel(1, 1), clRed);
    EXPECT_EQ(target.GetPixel(2, 1), clWhite);
    EXPECT_EQ(target.GetPixel(4, 1), clWhite);

    list->SetBkColor(clYellow);
    list->Draw(&canvas, 1, 5, 0);
    EXPECT_EQ(target.GetPixel(2, 5), clYellow);

    // A transparent style ignores the background colour.
    list->Draw(&canvas, 5, 5, 1, dsTransparent, itImage);
    EXPECT_EQ(target.GetPixel(5, 6), clWhite);
    EXPECT_EQ(target.GetPixel(6, 6), clBlue);
}

TEST_F(ImageListFixture, GetBitmapRendersOnTheBackgroundColour) {
    // Rendering a glyph onto a highlight colour through a temporary list.
    list->SetBkColor(clYellow);
    list->AddMasked(&strip, clFuchsia);
    TBitmap out;
    ASSERT_TRUE(list->GetBitmap(0, &out));
    EXPECT_EQ(out.Width(), 3);
    EXPECT_EQ(out.Canvas()->Pixel(1, 0), clYellow);
    EXPECT_EQ(out.Canvas()->Pixel(0, 0), clRed);
    EXPECT_FALSE(list->GetBitmap(9, &out));
}

TEST_F(ImageListFixture, SelectedBlendsDisabledEmbossesMaskShowsShape) {
    list->AddMasked(&strip, clFuchsia);
    list->SetBlendColor(clBlack);
    list->Draw(&canvas, 0, 0, 0, dsSelected, itImage);
    EXPECT_EQ(target.GetPixel(0, 0), static_cast<TColor>(RGB(128, 0, 0)));
    EXPECT_EQ(target.GetPixel(1, 0), clWhite);

    list->Draw(&canvas, 0, 4, 0, dsNormal, itImage, false);
    EXPECT_EQ(target.GetPixel(0, 4), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(target.GetPixel(3, 6), static_cast<TColor>(ColorToRGB(clBtnHighlight)));

    list->Draw(&canvas, 5, 0, 0, dsNormal, itMask);
    EXPECT_EQ(target.GetPixel(5, 0), clBlack);
    EXPECT_EQ(target.GetPixel(6, 0), clWhite);
}

TEST_F(ImageListFixture, RecordingShowsWhichImageWasDrawn) {
    list->AddMasked(&strip, clFuchsia);
    TRecordingSurface rec(50, 50);
    TCanvas c(&rec);
    ImageList_DrawEx(list.get(), 1, &c, 7, 8, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL);
    ASSERT_EQ(rec.Records().size(), 1u);
    const TDrawRecord& r = rec.Records()[0];
    EXPECT_EQ(r.Op, TDrawOp::Blit);
    EXPECT_EQ(r.Rect, Rect(7, 8, 10, 10));
    EXPECT_EQ(r.SourceRect, Rect(3, 0, 6, 2));
    EXPECT_NE(r.Transparent, clNone);
}

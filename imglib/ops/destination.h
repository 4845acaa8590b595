// The image an operation writes: the caller's separate target, or (in place)
// a temporary that replaces the source's pixels only when the operation
// succeeds, so that a failure or a cancel leaves the source as it was.
#pragma once

#include <cstdint>
#include <new>

#include "imglib/image.h"

class ILOpDestination {
public:
    // A null target, or the source itself, means in place.
    ILOpDestination(ILImage* source, ILImage* target)
        : source_(source), target_(target && target != source ? target : &temporary_) {}
    ~ILOpDestination() {
        if (target_ == &temporary_) {
            temporary_.palette = nullptr; // the source's, referred to only
            ILClearImage(&temporary_);
        }
    }
    ILOpDestination(const ILOpDestination&) = delete;
    ILOpDestination& operator=(const ILOpDestination&) = delete;

    bool InPlace() const { return target_ == &temporary_; }
    ILImage* Image() { return target_; }

    // Clears a separate target and allocates the destination with the
    // source's background; a separate target gets a copy of the source's
    // palette, the temporary refers to it. Answers the allocation's result.
    ILResult Allocate(uint32_t width, uint32_t height, ILPixelType type) {
        ILClearImage(target_);
        ILResult r = ILAllocImage(target_, width, height, type, nullptr);
        if (r != IL_OK) return r;
        target_->background = source_->background;
        if (source_->palette) {
            if (InPlace()) {
                target_->palette = source_->palette;
            } else {
                target_->palette = new (std::nothrow) ILPalette(*source_->palette);
                if (!target_->palette || target_->palette->count != source_->palette->count) {
                    ILClearImage(target_);
                    return IL_OUT_OF_MEMORY;
                }
            }
        }
        return IL_OK;
    }

    // In place: the source takes the temporary's pixels and geometry and
    // keeps its own palette and background.
    void Commit() {
        if (!InPlace()) return;
        const ILColor background = source_->background;
        ILMoveImage(source_, &temporary_, true, true);
        source_->background = background;
    }

private:
    ILImage* source_;
    ILImage temporary_;
    ILImage* target_;
};

#pragma once
// The two row controls of the catalogues: one cell per software entry or document item.
// A click on either sends "click" with the cell as sender; the window reads the record
// back through the control.

#include "skin/catalogue_records.h"
#include "skin/control.h"

#include <cstdint>
#include <memory>

struct SkinImage;
namespace skin_detail {
class PictureCache;
}

// A software cell: icon, name, description, size and date, rating, and an action area
// that reads by state (download, open the package, start the program, update) or shows
// the download's progress.
// Both cells keep their last picture and copy it while nothing they show has changed.
class SKIN_API SkinSoftListControl : public CControlUI {
public:
    // Takes the record (allocated with new) and frees it with itself.
    explicit SkinSoftListControl(DuiSoft* soft);
    ~SkinSoftListControl() override;

    const char* GetClass() const override;  // "SoftListItem"
    void* GetInterface(const char* name) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(HDC dc, const RECT& paintRect) override;
    // A list item named by the entry. Part 1 is its action, a button named by the word it
    // stands for ("下载", "取消", "打开", "启动", "升级"); part 2 the running download's
    // progress bar, invisible while none runs.
    void DescribeAccessible(int part, AccessibleDescription& out) override;
    int AccessiblePartCount() const override;
    bool IsFocusable() const override;
    // The cell's click, which the window dispatches by the entry's state.
    bool Activate() override;

    DuiSoft* GetSoft() const;
    // Percentage of the running download, clamped to 0..100. Repaints the action alone,
    // or the whole cell when the record's state changed since it was painted (the window
    // changes it just before it reports the percentage).
    void SetDownLoadSize(int percent);
    int GetDownLoadSize() const;
    // While set (or while the record's state is Downloading) the cell shows the progress;
    // setting it starts the percentage again from 0.
    void SetIsDownLoad(bool downloading);
    bool IsDownLoad() const;

private:
    void PaintCell(HDC dc, const SkinImage* icon);
    // What the cell's picture depends on.
    uint64_t LookKeyOf(const SkinImage* icon) const;

    std::unique_ptr<DuiSoft> m_pSoft;
    int m_percent = 0;
    unsigned char m_downloading = 0;
    UINT m_buttonState = 0;
    // The record's state as the last paint drew it.
    int32_t m_paintedState = NotDownloaded;
    bool m_painted = false;
    std::unique_ptr<skin_detail::PictureCache> m_pPicture;
};

// A document cell: a folder or document symbol by type, and the name below it; while the
// document downloads the cell says so.
class SKIN_API FileListControl : public CControlUI {
public:
    // Takes the record (allocated with new) and frees it with itself.
    explicit FileListControl(DuiFile* file);
    ~FileListControl() override;

    const char* GetClass() const override;  // "FileListItem"
    void* GetInterface(const char* name) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(HDC dc, const RECT& paintRect) override;
    // A list item named by the document or folder; it says what it is and that it downloads.
    void DescribeAccessible(int part, AccessibleDescription& out) override;
    bool IsFocusable() const override;
    bool Activate() override;

    DuiFile* GetFile() const;
    void SetIsDownLoad(bool downloading);
    bool IsDownLoad() const;

private:
    void PaintCell(HDC dc);
    uint64_t LookKeyOf() const;

    std::unique_ptr<DuiFile> m_pFile;
    unsigned char m_downloading = 0;
    UINT m_buttonState = 0;
    std::unique_ptr<skin_detail::PictureCache> m_pPicture;
};

// Texture holders: the framework's handle to one device texture, kept with its file name in the
// holder manager's list. Holders handed out shared are counted: the last user deletes them.
#pragma once
#include <cstdint>

#include "core/cv_list.h"
#include "core/fixed_path.h"

class CDGTexture;

class CVTexture : public CVListBase {
 public:
  explicit CVTexture(int32_t id = -1) : CVListBase(id) {}
  ~CVTexture() override;
  // Releases the texture and forgets it (the path is kept).
  void Release() override;

  // Loads through the device manager's named cache (archives and scrambled images included):
  // exact size unless mipmapped. Nothing happens for an empty path, or for the path already
  // loaded while its texture is still there.
  bool Load(const char* path, bool mipmapped);
  // Always at the image's exact size; the given width and height are recorded with the holder.
  bool LoadFlagged(const char* path, int32_t left, int32_t top, int32_t width, int32_t height);
  bool CreateEmpty(int32_t width, int32_t height);
  // The size of the device texture (its surface, rounded up for default-size loads); 0 while the
  // holder has none. Not the size recorded by LoadFlagged, which may be a "take it from the
  // texture" -1.
  int32_t GetWidth() const;
  int32_t GetHeight() const;
  CDGTexture* GetTexture() const { return texture_; }
  const FixedPath& Path() const { return path_; }
  const FixedPath& Name() const { return name_; }

  // Shared use: every user after the first adds itself; Drop deletes on the last user.
  void AddUser() { ++users_; }
  void Drop();
  int32_t Users() const { return users_; }

 private:
  void ReleaseTexture();
  FixedPath name_, path_;
  int32_t width_ = 0, height_ = 0;
  CDGTexture* texture_ = nullptr;
  int32_t users_ = 1;
};

class CVTextureMgr : public CVList {
 public:
  // share: reuse a holder already loaded from exactly this path (it gains a user).
  CVTexture* GetTexture(const char* path, bool share, bool mipmapped);
  CVTexture* GetTextureFlagged(const char* path, int32_t left, int32_t top, int32_t width, int32_t height);
  CVTexture* CreateTexture();
  CVTexture* FindTexture(const char* path) const;
};

CVTextureMgr* GetTextureMgr();

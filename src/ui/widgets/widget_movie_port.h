// The program's movie manager behind the window widget's movie seam: movies open by program path,
// and each picture is copied into the window's blank texture.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "movie/movie_ports.h"
#include "render/effect/shader.h"
#include "ui/widgets/widget_services.h"

class CDGTexture;

// Copies a texture movie's pictures into a texture (scaled to its size when they differ). It
// writes through the texture object, so it follows the texture onto a re-created device.
class CDGTextureMovieTarget final : public MovieFrameTarget {
 public:
  explicit CDGTextureMovieTarget(CDGTexture* texture);  // holds one reference
  ~CDGTextureMovieTarget() override;
  void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) override;
  int Updates() const { return updates_; }

 private:
  CDGTexture* texture_;
  std::vector<uint8_t> scaled_;
  int updates_ = 0;
};

class MovieMgrWidgetPort : public WidgetMoviePort {
 public:
  MovieMgrWidgetPort();
  ~MovieMgrWidgetPort() override;
  // -1 when the file cannot be played (the manager keeps such a player as finished: it is closed).
  int32_t Open(const char* path) override;
  void GetVideoSize(int32_t id, uint32_t* w, uint32_t* h) override;
  void SetTarget(int32_t id, CVTexture* texture) override;
  void Play(int32_t id, bool loop) override;
  bool IsFinished(int32_t id) override;
  void Close(int32_t id) override;

 private:
  std::map<int32_t, std::unique_ptr<CDGTextureMovieTarget>> targets_;
};

// The same manager behind the movie transition shader: the movie plays once into the shader's
// texture.
class MovieMgrShaderPort : public ShaderMoviePort {
 public:
  ~MovieMgrShaderPort() override;
  int32_t Open(const char* path, CVTexture* target) override;
  bool IsFinished(int32_t id) override;
  void Close(int32_t id) override;

 private:
  std::map<int32_t, std::unique_ptr<CDGTextureMovieTarget>> targets_;
};

// Installs one port of each kind for the program (start-up, after the movie manager exists).
void InstallMovieWidgetPort();

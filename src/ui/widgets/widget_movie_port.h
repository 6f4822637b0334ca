// The program's movie manager behind the window widget's movie seam: movies open by program path,
// and each picture is copied into the window's blank texture.
#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "ui/widgets/widget_services.h"

class MovieTextureTarget;

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
  std::map<int32_t, std::unique_ptr<MovieTextureTarget>> targets_;
};

// Installs one port for the program (start-up, after the movie manager exists).
void InstallMovieWidgetPort();

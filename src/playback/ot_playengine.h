// The player's only path to sound: one audio system, at most one streamed
// sound and the one channel that plays it, plus the track information of the
// file last opened. Everything runs on the user-interface thread; the
// end-of-track callback runs only inside Update.
#pragma once

#include <cstdint>
#include <string>

#include "platform/audio/audio.h"
#include "platform/win32/types.h"
#include "playback/ot_musictag.h"

class OstPlayEngine;

// What the engine is doing, as GetState reports it.
enum OstEngineState {
    kEngineStopped = 0,
    kEnginePlaying = 1,
    kEnginePaused = 2,
};

// The channel callback: on the end of a sound, stops the engine and tells
// its notify window with WM_PLAYBACK_ENDED. Always returns 0.
ostaudio::Result ChannelCallback(ostaudio::Channel* channel, ostaudio::ChannelCallbackType type, void* commanddata1,
                                 void* commanddata2);

class OstPlayEngine {
public:
    OstPlayEngine();
    virtual ~OstPlayEngine();

    // 0 on success; 1 no system, 2 library too old, 3 no driver count,
    // 4 the output would not start.
    int Init();
    bool Open(LPCWSTR pwszUrl, bool bPlay, bool bLoop);
    void Play();
    void Pause();
    void Stop();
    OstEngineState GetState();
    // Played fraction while playing; 0 when stopped, paused or of no length.
    float GetProgress();
    void SetNotifyWindow(HWND hWnd);
    void Update();

    // What the desktop's media controls show: whether a sound is loaded,
    // its length, and the position heard (0 while stopped).
    bool IsLoaded() const;
    std::uint64_t GetLengthUs();
    std::uint64_t GetPositionUs();
    // The loaded file's name as the file system's bytes, whole, as it was
    // opened; empty while nothing is loaded.
    const std::string& GetFileName() const;
    // The volume the desktop set (1.0 the file as it is, 0 to 10); it
    // carries over to every file played after.
    float GetVolume() const;
    void SetVolume(float fVolume);

protected:
    friend ostaudio::Result ChannelCallback(ostaudio::Channel*, ostaudio::ChannelCallbackType, void*, void*);

    bool m_bStopped;
    HWND m_hNotifyWnd;
    ostaudio::System* m_pSystem;
    ostaudio::Sound* m_pSound;
    ostaudio::Channel* m_pChannel;

public:
    OstMusicTag m_tag;

protected:
    std::uint32_t m_nPositionMs;
    std::uint32_t m_nLengthMs;
    std::string m_strFileName;
    float m_fVolume;
};

#include "playback/ot_playengine.h"

#include <cstring>
#include <string>

#include "common/ot_messages.h"
#include "platform/win32/assertion.h"
#include "platform/win32/text.h"
#include "platform/win32/user.h"

using ostaudio::Caps;
using ostaudio::Channel;
using ostaudio::ChannelCallbackType;
using ostaudio::Mode;
using ostaudio::Result;
using ostaudio::SpeakerMode;

namespace {
constexpr unsigned kRequiredVersion = 0x43306;
// The file system's own bound on a path, terminator included.
constexpr int kNameBytes = 4096;
}  // namespace

OstPlayEngine::OstPlayEngine()
    : m_bStopped(true),
      // Left unset, an end callback before SetNotifyWindow would send to a
      // stray handle.
      m_hNotifyWnd(NULL),
      m_pSystem(nullptr),
      m_pSound(nullptr),
      m_pChannel(nullptr),
      m_nPositionMs(0),
      m_nLengthMs(0),
      m_fVolume(1.0f) {}

OstPlayEngine::~OstPlayEngine() {
    if (m_pSound != nullptr) {
        m_pSound->release();
        m_pSound = nullptr;
    }
    if (m_pSystem != nullptr) {
        m_pSystem->release();
        m_pSystem = nullptr;
    }
}

int OstPlayEngine::Init() {
    if (ostaudio::System_Create(&m_pSystem) != ostaudio::OK) return 1;

    unsigned version = 0;
    m_pSystem->getVersion(&version);
    if (version < kRequiredVersion) return 2;

    int numDrivers = 0;
    if (m_pSystem->getNumDrivers(&numDrivers) != ostaudio::OK) return 3;

    if (numDrivers == 0) {
        MessageBoxW(NULL, L"No sound device found.", L"Warning", MB_OK);
        m_pSystem->setOutput(ostaudio::OUTPUTTYPE_NOSOUND);
    } else {
        Caps caps = ostaudio::CAPS_NONE;
        SpeakerMode speakerMode = ostaudio::SPEAKERMODE_STEREO;
        m_pSystem->getDriverCaps(0, &caps, nullptr, nullptr, &speakerMode);
        m_pSystem->setSpeakerMode(speakerMode);
        if (caps & ostaudio::CAPS_HARDWARE_EMULATED) {
            MessageBoxW(NULL, L"Audio acceleration function is off, so you may suffer from some performance issues.",
                        L"Warning", MB_OK);
            m_pSystem->setDSPBufferSize(1024, 10);
        }
        // Cleared first: a failed call must not leave the search reading garbage.
        char name[256] = {};
        m_pSystem->getDriverInfo(0, name, 256, nullptr);
        if (std::strstr(name, "SigmaTel") != nullptr) {
            m_pSystem->setSoftwareFormat(48000, ostaudio::SOUND_FORMAT_PCMFLOAT, 0, 0, ostaudio::DSP_RESAMPLER_LINEAR);
        }
    }

    Result result = m_pSystem->init(100, ostaudio::INIT_NORMAL, nullptr);
    if (result == ostaudio::OK) return 0;
    if (result == ostaudio::ERR_OUTPUT_FORMAT) {
        m_pSystem->setSpeakerMode(ostaudio::SPEAKERMODE_STEREO);
        if (m_pSystem->init(100, ostaudio::INIT_NORMAL, nullptr) == ostaudio::OK) return 0;
    }
    return 4;
}

bool OstPlayEngine::Open(LPCWSTR pwszUrl, bool bPlay, bool bLoop) {
    OST_ASSERT(pwszUrl);
    if (pwszUrl == NULL) return false;
    // The library takes the name as the file system's bytes, which can name
    // every file; a name longer than any path stays empty and fails below.
    std::string name;
    const int cb = WideCharToMultiByte(CP_ACP, 0, pwszUrl, -1, NULL, 0, NULL, NULL);
    if (cb > 0 && cb <= kNameBytes) {
        name.resize(static_cast<std::size_t>(cb));
        if (WideCharToMultiByte(CP_ACP, 0, pwszUrl, -1, name.data(), cb, NULL, NULL) != cb) name.clear();
        name.resize(std::strlen(name.c_str()));
    }

    if (!m_bStopped) {
        m_pChannel->stop();
        m_bStopped = true;
    }
    if (m_pSound != nullptr) {
        m_pSound->release();
        m_pSound = nullptr;
    }
    m_strFileName.clear();
    // Without a system (Init failed or never ran) nothing can be opened.
    if (m_pSystem == nullptr) return false;
    Mode mode = bLoop ? (ostaudio::CREATESTREAM | ostaudio::LOOP_NORMAL) : ostaudio::CREATESTREAM;
    if (m_pSystem->createSound(name.c_str(), mode, nullptr, &m_pSound) != ostaudio::OK) return false;
    m_strFileName = name;

    m_tag.Read(pwszUrl);
    if (bPlay) Play();
    return true;
}

void OstPlayEngine::Play() {
    if (!m_bStopped) {
        m_pChannel->setPaused(false);
        return;
    }
    if (m_pSound == nullptr) return;
    m_pSystem->playSound(ostaudio::CHANNEL_REUSE, m_pSound, false, &m_pChannel);
    if (m_fVolume != 1.0f) m_pChannel->setVolume(m_fVolume);
    m_pChannel->setUserData(this);
    m_pChannel->setCallback(ChannelCallback);
    m_bStopped = false;
}

void OstPlayEngine::Pause() {
    if (!m_bStopped) m_pChannel->setPaused(true);
}

void OstPlayEngine::Stop() {
    if (m_pChannel != nullptr) {
        m_pChannel->stop();
        m_bStopped = true;
    }
}

OstEngineState OstPlayEngine::GetState() {
    if (m_bStopped) return kEngineStopped;
    bool paused = false;
    m_pChannel->getPaused(&paused);
    return paused ? kEnginePaused : kEnginePlaying;
}

float OstPlayEngine::GetProgress() {
    if (GetState() != kEnginePlaying) return 0.0f;
    m_pChannel->getPosition(&m_nPositionMs, ostaudio::TIMEUNIT_MS);
    m_pSound->getLength(&m_nLengthMs, ostaudio::TIMEUNIT_MS);
    // A length that reads as 0 has no fraction to show.
    if (m_nLengthMs == 0) return 0.0f;
    return (float)((double)m_nPositionMs / (double)m_nLengthMs);
}

void OstPlayEngine::SetNotifyWindow(HWND hWnd) { m_hNotifyWnd = hWnd; }

void OstPlayEngine::Update() {
    if (m_pSystem != nullptr) m_pSystem->update();
}

Result ChannelCallback(Channel* channel, ChannelCallbackType type, void* /*commanddata1*/, void* /*commanddata2*/) {
    void* userData = nullptr;
    channel->getUserData(&userData);
    auto* engine = static_cast<OstPlayEngine*>(userData);
    if (type == ostaudio::CHANNEL_CALLBACKTYPE_END && engine != nullptr) {
        engine->Stop();
        SendMessageW(engine->m_hNotifyWnd, WM_PLAYBACK_ENDED, 0, 0);
    }
    return ostaudio::OK;
}

// The playback side of the media thread: thread start and stop, message types 0 to 6, the decoder and
// the audio device. Until the decoder and the device are wired in, the thread keeps the catalogue and
// the stream-data requests working and plays nothing: no decoder starts, so received blocks stay queued.

#include "media/MyMediaHandler.h"

void MyMediaHandler::OnThreadStart() {
    threadHandle().SetTimeCriticalPriority();
}

void MyMediaHandler::OnThreadStop() {}

int MyMediaHandler::Mp3DecodeStart() {
    return 0;
}

bool MyMediaHandler::DecodeAndSubmit() {
    return false;
}

void MyMediaHandler::HandleStartPlayStream(MyMediaHandlerMessage_StartPlayStream&) {}

void MyMediaHandler::HandleSetPlayPos(MyMediaHandlerMessage_SetPlayPos&) {}

void MyMediaHandler::HandlePause(MyMediaHandlerMessage_Pause&) {}

void MyMediaHandler::HandleContinue(MyMediaHandlerMessage_Continue&) {}

void MyMediaHandler::HandleSetVolume(MyMediaHandlerMessage_SetVolume&) {}

void MyMediaHandler::HandleSetMute(MyMediaHandlerMessage_SetMute&) {}

void MyMediaHandler::HandleReturnUsedWaveHeader(MyMediaHandlerMessage_ReturnUsedWaveHeader&) {}

// Lists a camera's media profiles with the onvif package, then asks for the stream and
// snapshot URIs of the first profile. Prints one JSON line.
// Usage: node media.js HOST PORT
'use strict';
const url = require('url');
const onvif = require('onvif');

const host = process.argv[2];
const port = Number(process.argv[3] || 80);
const cam = new onvif.Cam({ hostname: host, port, autoconnect: false, timeout: 5000 });
// The media service address, as GetCapabilities would give it.
cam.uri = { media: url.parse(`http://${host}:${port}/onvif/media_service`) };

const out = {};
const done = () => console.log(JSON.stringify(out));
cam.getProfiles((err, profiles) => {
  if (err) {
    out.error = String(err);
    return done();
  }
  out.profiles = profiles.map((p) => ({
    token: p.$.token,
    fixed: p.$.fixed,
    name: p.name,
    encoder: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.$.token : null,
    width: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.resolution.width : null,
    audio: Boolean(p.audioEncoderConfiguration),
  }));
  const profileToken = profiles[0].$.token;
  cam.getStreamUri({ protocol: 'RTSP', profileToken }, (streamErr, stream) => {
    out.stream = streamErr ? { error: String(streamErr) } : stream.uri;
    cam.getSnapshotUri({ profileToken }, (snapErr, snapshot) => {
      out.snapshot = snapErr ? { error: String(snapErr) } : snapshot.uri;
      done();
    });
  });
});

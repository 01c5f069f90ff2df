// Connects to a camera as an application would with the npm "onvif" client library
// (capabilities, services, profiles on connect, WS-Security UsernameToken digest), then asks
// for the first profile's RTSP stream URI and snapshot URI (through Media2 when GetServices
// lists it and the client keeps it); given FPS and KBPS, also the video encoder configurations,
// the second one's options, and its SetVideoEncoderConfiguration with that frame rate and bit
// rate, which the client reads back. Prints one JSON object, with whether it used Media2.
// Usage: node camera_media.js HOST PORT USER PASSWORD [FPS KBPS]
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password, fps, kbps] = process.argv.slice(2);
const cam = new Cam({ hostname, port: Number(port), username, password, autoconnect: false,
  timeout: 20000 });

function step(name, call) {
  return new Promise((resolve, reject) => {
    call((err, data) => (err ? reject(new Error(name + ': ' + err.message)) : resolve(data)));
  });
}

(async () => {
  await step('connect', (cb) => cam.connect(cb));
  const profiles = cam.profiles.map((p) => ({
    token: p.$.token,
    encoding: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.encoding : null,
    width: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.resolution.width : null,
    height: p.videoEncoderConfiguration ? p.videoEncoderConfiguration.resolution.height : null,
  }));
  const profileToken = profiles[0].token;
  const stream = await step('getStreamUri',
    (cb) => cam.getStreamUri({ protocol: 'RTSP', profileToken }, cb));
  const snapshot = await step('getSnapshotUri', (cb) => cam.getSnapshotUri({ profileToken }, cb));
  const out = { media2: cam.media2Support, profiles, stream: stream.uri, snapshot: snapshot.uri };
  if (fps) {
    const rate = (c) => [c.$.token, c.encoding, c.rateControl.frameRateLimit,
      c.rateControl.bitrateLimit];
    const configs = await step('getVideoEncoderConfigurations',
      (cb) => cam.getVideoEncoderConfigurations(cb));
    const token = configs[1].$.token;
    out.options = Object.keys(await step('getVideoEncoderConfigurationOptions',
      (cb) => cam.getVideoEncoderConfigurationOptions({ configurationToken: token }, cb)));
    const changed = { ...configs[1], rateControl: { ...configs[1].rateControl,
      frameRateLimit: Number(fps), bitrateLimit: Number(kbps) } };
    out.encoders = configs.map(rate);
    // Read back: all configurations over Media2, the one set over Media1.
    out.after = [].concat(await step('setVideoEncoderConfiguration',
      (cb) => cam.setVideoEncoderConfiguration(changed, cb))).map(rate);
    out.media2AtEnd = cam.media2Support;
  }
  console.log(JSON.stringify(out));
})().catch((err) => {
  console.error(err.message);
  process.exit(1);
});

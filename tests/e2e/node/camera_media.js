// Connects to a camera as an application would with the npm "onvif" client library
// (capabilities, services, profiles on connect, WS-Security UsernameToken digest), then asks
// for the first profile's RTSP stream URI and snapshot URI (through Media2 when GetServices
// lists it and the client keeps it). Prints one JSON object, with whether it used Media2.
// Usage: node camera_media.js HOST PORT USER PASSWORD
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password] = process.argv.slice(2);
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
  console.log(JSON.stringify({ media2: cam.media2Support, profiles, stream: stream.uri,
    snapshot: snapshot.uri }));
})().catch((err) => {
  console.error(err.message);
  process.exit(1);
});

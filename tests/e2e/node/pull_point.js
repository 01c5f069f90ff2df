// Creates a pull-point subscription on the camera with the "onvif" client library, pulls
// once and prints what the library made of the answers, and the pull answer as received,
// as one JSON line.
//   node pull_point.js HOST PORT
'use strict';
const url = require('url');
const { Cam } = require('onvif');

const [host, port] = process.argv.slice(2);
const cam = new Cam({ hostname: host, port: Number(port), autoconnect: false, timeout: 10000 });
cam.uri = { events: url.parse(`http://${host}:${port}/onvif/events_service`) };
// The answers as they arrived (the library strips namespace declarations before parsing).
const received = [];
cam.on('rawResponse', (xml) => received.push(xml));

function fail(stage, err) {
  console.log(JSON.stringify({ stage, error: String(err && err.message || err) }));
  process.exit(1);
}

cam.createPullPointSubscription((err, subscription) => {
  if (err) fail('create', err);
  cam.pullMessages({ messageLimit: 1 }, (err, pulled) => {
    if (err) fail('pull', err);
    const message = [].concat(pulled.notificationMessage)[0];
    console.log(JSON.stringify({
      address: subscription.subscriptionReference.address.href,
      subscriptionId: String(subscription.subscriptionReference.referenceParameters.subscriptionId
                             && subscription.subscriptionReference.referenceParameters
                                    .subscriptionId._ || subscription.subscriptionReference
                                    .referenceParameters.subscriptionId),
      topic: message.topic._,
      data: message.message.message.data.simpleItem.$,
      source: message.message.message.source.simpleItem.$,
      pullXml: received[received.length - 1],
    }));
    process.exit(0);
  });
});

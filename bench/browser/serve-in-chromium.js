// Loads pages of one server in Chromium from the distribution (driven through puppeteer-core, never
// a downloaded browser) and prints what a reader's browser saw, as one JSON line:
//   first: requests, bytes on the wire (headers included) and milliseconds to the load event of
//          the first page, with an empty cache;
//   second: the same for a second page that shares the first page's style sheets and scripts,
//          opened by following a link, so the cache of the first is used as a reader's would be;
//   video (when a video page is given): the seekable range, and where playback stands after
//          seeking to 25 s.
// Every response's status is checked: a page that answered an error makes the run fail, so a
// side that answers errors fast is never the faster one.
// Usage: node serve-in-chromium.js BASE_URL FIRST_PATH SECOND_PATH [VIDEO_PATH] [LATENCY_MS]
'use strict';
const puppeteer = require(process.env.PUPPETEER_DIR ? process.env.PUPPETEER_DIR + '/node_modules/puppeteer-core' : 'puppeteer-core');

const [base, firstPath, secondPath, videoPath, latencyText] = process.argv.slice(2);
const latency = Number(latencyText || 40);

function watchNetwork(client) {
  const seen = { requests: 0, fromCache: 0, bytes: 0, errors: [] };
  client.on('Network.requestWillBeSent', () => { seen.requests += 1; });
  client.on('Network.requestServedFromCache', () => { seen.fromCache += 1; });
  client.on('Network.responseReceived', (event) => {
    const response = event.response;
    if (response.fromDiskCache || response.fromPrefetchCache) seen.fromCache += 1;
    if (response.status >= 400) seen.errors.push(response.status + ' ' + response.url);
  });
  client.on('Network.loadingFinished', (event) => { seen.bytes += event.encodedDataLength; });
  client.on('Network.loadingFailed', (event) => {
    if (!event.canceled) seen.errors.push(event.errorText);
  });
  return seen;
}

function settled(seen) {
  return { requests: seen.requests - seen.fromCache, cached: seen.fromCache, bytes: seen.bytes, errors: seen.errors };
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: 'new',
    args: ['--no-sandbox', '--disable-gpu', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
  });
  try {
    const page = await browser.newPage();
    const client = await page.target().createCDPSession();
    await client.send('Network.enable');
    await client.send('Network.emulateNetworkConditions', {
      offline: false, latency, downloadThroughput: -1, uploadThroughput: -1,
    });
    const result = { base, latency };

    let seen = watchNetwork(client);
    let start = Date.now();
    const first = await page.goto(base + firstPath, { waitUntil: 'load' });
    result.first = { status: first.status(), ms: Date.now() - start, ...settled(seen) };
    await new Promise((r) => setTimeout(r, 300));
    client.removeAllListeners();

    // A reader follows a link; with no link to it on the page, the address bar is the reader's way.
    seen = watchNetwork(client);
    start = Date.now();
    const target = new URL(secondPath, base).href;
    const followed = await page.evaluate((href) => {
      const link = Array.from(document.links).find((a) => a.href === href);
      if (link) { link.click(); return true; }
      return false;
    }, target);
    const second = followed
      ? await page.waitForNavigation({ waitUntil: 'load' })
      : await page.goto(target, { waitUntil: 'load' });
    result.second = { status: second.status(), followedLink: followed, ms: Date.now() - start, ...settled(seen) };
    client.removeAllListeners();

    if (videoPath) {
      await client.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
      await page.goto(base + videoPath, { waitUntil: 'load' });
      result.video = await page.evaluate(async () => {
        const video = document.querySelector('video');
        if (video.readyState < 1) await new Promise((r) => video.addEventListener('loadedmetadata', r, { once: true }));
        const seekable = [];
        for (let i = 0; i < video.seekable.length; i++) seekable.push([video.seekable.start(i), video.seekable.end(i)]);
        video.currentTime = 25;
        await Promise.race([
          new Promise((r) => video.addEventListener('seeked', r, { once: true })),
          new Promise((r) => setTimeout(r, 10000)),
        ]);
        try { await video.play(); } catch (e) { /* muted autoplay is allowed by the flag */ }
        await new Promise((r) => setTimeout(r, 700));
        video.pause();
        return { duration: video.duration, seekable, currentTime: video.currentTime };
      });
    }
    console.log(JSON.stringify(result));
  } finally {
    await browser.close();
  }
}

main().catch((error) => { console.error(error.stack || String(error)); process.exit(1); });

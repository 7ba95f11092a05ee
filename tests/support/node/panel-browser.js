// Drives the operation panel in headless Chromium: opens the page, screenshots it, moves a slider
// and sends the form, then uploads a file through the form.
// usage: node panel-browser.js BASE_URL SCREENSHOT.png UPLOAD_FILE
// Prints "monitor X Y W H", "slider X Y W H" (CSS pixels of the screenshot) and "done".
const puppeteer = require('puppeteer-core');

(async () => {
  const [base, shot, upload] = process.argv.slice(2);
  const args = ['--headless=new', '--disable-dev-shm-usage', '--disable-gpu',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--no-default-browser-check', '--disable-extensions'];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args,
    defaultViewport: { width: 480, height: 800, deviceScaleFactor: 1 }, timeout: 30000,
  });
  try {
    const page = await browser.newPage();
    await page.goto(base + '/show.html', { waitUntil: 'load' });
    await page.waitForFunction(() => {
      const img = document.getElementById('monitor-img');
      return img && img.complete && img.naturalWidth > 0;
    }, { timeout: 10000 });
    const box = async (sel) => {
      const r = await page.$eval(sel, (e) => { const b = e.getBoundingClientRect(); return [b.x, b.y, b.width, b.height]; });
      return r.map(Math.round).join(' ');
    };
    console.log('monitor ' + await box('#monitor-img'));
    console.log('slider ' + await box('input.sld[name="/gain"]'));
    await page.screenshot({ path: shot });

    // Move the slider, then send the form.
    await page.$eval('input.sld[name="/gain"]', (s) => {
      s.value = '0.75';
      s.dispatchEvent(new Event('input', { bubbles: true }));
    });
    let sent = page.waitForResponse((r) => r.url().endsWith('/.Osceq'));
    await page.click('#params input[type=submit]');
    console.log('post ' + (await sent).status());

    // Upload a file through the form.
    const input = await page.$('input[type=file][name="/movie"]');
    await input.uploadFile(upload);
    sent = page.waitForResponse((r) => r.url().endsWith('/.Osceq'));
    await page.click('#params input[type=submit]');
    console.log('post ' + (await sent).status());
    console.log('done');
  } finally {
    await browser.close();
  }
})().catch((e) => { console.log('error ' + e.message); process.exit(1); });

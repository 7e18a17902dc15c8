// "Download with Quarrow" in the context menu of links and of pages. The link (or the page's
// own address) and the page's character set go to Quarrow's native messaging host,
// QuarrowHost.exe beside Quarrow.exe, which starts Quarrow with them. Only a failure is
// shown, as a notification: on success Quarrow itself takes over.
"use strict";

const HOST = "com.storageserver.quarrow";
const TITLE = "Download with Quarrow";
const MENU_LINK = "quarrow-link";
const MENU_PAGE = "quarrow-page";
// Firefox offers the promise-based API as "browser"; Chromium's "chrome" gives promises too.
const api = globalThis.browser ?? globalThis.chrome;

async function createMenus() {
  // Made afresh at every start, so that an update never leaves an entry twice.
  await api.contextMenus.removeAll();
  api.contextMenus.create({ id: MENU_LINK, title: TITLE, contexts: ["link"] });
  api.contextMenus.create({ id: MENU_PAGE, title: TITLE, contexts: ["page"] });
}

// The character set of the frame that was clicked, in lower case: Quarrow's table of
// character sets names them as browsers used to ("utf-8", "shift_jis"), while today's report
// "UTF-8" and "Shift_JIS". Where no script may run (the browser's own pages, a store), the
// answer is "utf-8": a link that the browser reports is in URL form already, ASCII with UTF-8
// escapes, so the name changes nothing about it.
async function pageCharset(tabId, frameId) {
  try {
    const [frame] = await api.scripting.executeScript({
      target: { tabId, frameIds: [frameId || 0] },
      func: () => document.characterSet,
    });
    if (frame && typeof frame.result === "string" && frame.result) return frame.result.toLowerCase();
  } catch (e) {
    // a page closed to extensions: fall through
  }
  return "utf-8";
}

function notify(message) {
  return api.notifications.create({
    type: "basic",
    iconUrl: api.runtime.getURL("icons/quarrow-48.png"),
    title: TITLE,
    message,
  });
}

// Hands the clicked link to Quarrow; resolves to "" on success or to the message shown.
async function onMenuClicked(info, tab) {
  if (info.menuItemId !== MENU_LINK && info.menuItemId !== MENU_PAGE) return "";
  const onLink = info.menuItemId === MENU_LINK;
  const url = onLink ? info.linkUrl : info.pageUrl;
  const charset = tab && tab.id >= 0 ? await pageCharset(tab.id, onLink ? info.frameId : 0) : "utf-8";
  let problem = "";
  try {
    const reply = await api.runtime.sendNativeMessage(HOST, { url, charset });
    if (!reply || reply.ok !== true)
      problem = (reply && typeof reply.error === "string" && reply.error) || "Quarrow's browser helper gave no answer.";
  } catch (e) {
    problem = "Quarrow's browser helper is not installed or did not answer: install Quarrow again. (" +
      ((e && e.message) || String(e)) + ")";
  }
  if (problem) await notify(problem);
  return problem;
}

api.runtime.onInstalled.addListener(createMenus);
api.runtime.onStartup.addListener(createMenus);
api.contextMenus.onClicked.addListener((info, tab) => {
  onMenuClicked(info, tab);
});

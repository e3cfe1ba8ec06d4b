// The service pages' bridge to the application. Commands go to the application through the
// hidden frame "plb_command"; the application calls back the page's changedUploadProgress and
// changedPlumoraBrowserTab.
var Plumora = (function () {
  var MAX_PHOTOS = 100;  // photos one book may hold
  var SESSION_KEY = "plumora.sessionid";
  var counter = 0;

  function query(name) {
    var match = new RegExp("[?&]" + name + "=([^&]*)").exec(location.search);
    return match ? decodeURIComponent(match[1].replace(/\+/g, " ")) : "";
  }
  function sessionId() {
    var id = query("sessionid");
    if (id) localStorage.setItem(SESSION_KEY, id);
    return id || localStorage.getItem(SESSION_KEY) || "";
  }
  // The counter keeps two presses of the same button apart for the application.
  function send(items) {
    counter++;
    var parts = [];
    for (var name in items) parts.push(name + "=" + encodeURIComponent(items[name]));
    parts.push("focuscount=" + Date.now() + "-" + counter);
    frames["plb_command"].location.href = "/plb/cmd?" + parts.join("&");
  }
  function page(path, items) {
    var parts = [];
    for (var name in items) parts.push(name + "=" + encodeURIComponent(items[name]));
    return location.origin + path + (parts.length ? "?" + parts.join("&") : "");
  }
  function previewUrl(id) { return page("/preview.html", {plumoraid: id}); }
  function guideUrl(guide, id) { return page("/home.html", {sessionid: sessionId(), guide: guide, plumoraid: id || ""}); }

  function signIn(id) {
    id = String(id).trim();
    if (!id) return false;
    localStorage.setItem(SESSION_KEY, id);
    // The application follows the session id of the page's address.
    location.href = page("/home.html", {sessionid: id});
    return false;
  }
  function signOut() {
    localStorage.removeItem(SESSION_KEY);
    location.href = "/home.html";
  }
  function createBook() {
    send({mode: "startcreateplumora", sessionid: sessionId(), dispplumoratray: "enable", plumoraid: "",
          plumorapreviewurl: "", plumoraphotonum: 0, plumorarestphotonum: MAX_PHOTOS,
          pageurl: guideUrl("create")});
  }
  function appendTo(book) {
    var count = book.photos.length;
    send({mode: "startappendplumora", sessionid: sessionId(), dispplumoratray: "enable", plumoraid: book.id,
          plumorapreviewurl: previewUrl(book.id), plumoraphotonum: count,
          plumorarestphotonum: Math.max(0, MAX_PHOTOS - count), pageurl: guideUrl("append", book.id)});
  }
  function changeCover(book, mode, guide) {
    send({mode: mode, sessionid: sessionId(), dispplumoratray: "enable", plumoraid: book.id,
          plumorapreviewurl: previewUrl(book.id), plumoraphotonum: book.photos.length,
          plumorarestphotonum: Math.max(0, MAX_PHOTOS - book.photos.length), pageurl: guideUrl(guide, book.id)});
  }
  function changeBodyIcon() {
    send({mode: "startchangebodyicon", sessionid: sessionId(), dispplumoratray: "enable", plumoraid: "",
          bodyiconwidth: 240, bodyiconheight: 240, pageurl: guideUrl("bodyicon")});
  }
  function addMusic(book) {
    send({mode: "startappendplumorabgm", sessionid: sessionId(), plumoraid: book.id});
  }
  function getJson(url) {
    return fetch(url, {cache: "no-store"}).then(function (r) { return r.ok ? r.json() : null; });
  }
  // The smallest image received of a resource: the one a list shows.
  function imageUrl(bookId, photo) {
    var best = -1;
    for (var i = 0; i < photo.slots.length; i++)
      if (best < 0 || photo.sizes[i][0] < photo.sizes[best][0]) best = i;
    if (best < 0) return "";
    var slot = photo.slots[best];
    return "/local/photos/" + bookId + "/" + photo.resuuid + (slot ? "_" + slot : "") + ".jpg";
  }
  function coverUrl(book) {
    if (book.covers && book.covers.jacket) return "/local/photos/" + book.id + "/" + book.covers.jacket + ".jpg";
    return book.photos.length ? imageUrl(book.id, book.photos[0]) : "";
  }
  function element(tag, text, cls) {
    var e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (cls) e.className = cls;
    return e;
  }
  function button(text, action, primary) {
    var b = element("button", text, primary ? "primary" : "");
    b.onclick = action;
    return b;
  }
  function showSession() {
    var id = sessionId();
    var who = document.getElementById("who");
    if (who) who.textContent = id ? id + " さん" : "ログインしていません";
    var out = document.getElementById("signout");
    if (out) out.style.display = id ? "" : "none";
    return id;
  }
  return {
    MAX_PHOTOS: MAX_PHOTOS, query: query, sessionId: sessionId, signIn: signIn, signOut: signOut,
    createBook: createBook, appendTo: appendTo, changeCover: changeCover, changeBodyIcon: changeBodyIcon,
    addMusic: addMusic, getJson: getJson, imageUrl: imageUrl, coverUrl: coverUrl, element: element,
    button: button, showSession: showSession
  };
})();

// The upload's progress in the page's bar. The functions the application calls are defined in
// each page's own script: the application calls only functions a page's inline script names.
function showUploadProgress(percent) {
  var bar = document.getElementById("upload");
  if (!bar) return;
  var value = Math.max(0, Math.min(100, Number(percent) || 0));
  bar.style.display = "flex";
  bar.querySelector("progress").value = value;
  bar.querySelector(".percent").textContent = value + "%";
  bar.querySelector(".state").textContent = value >= 100 ? "アップロードが完了しました" : "アップロード中…";
}

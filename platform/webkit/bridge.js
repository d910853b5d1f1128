// Late-binding access to the page for the host program. Runs at document
// start in the host's own script world, so page scripts can neither see nor
// replace it, while the DOM itself is shared.
//
// Every entry point answers with one string the host decodes:
//   "u" undefined, "n" null, "b1"/"b0", "d" + number, "s" + text,
//   "h" + generation + ":" + id for an object, "e" + code + ":" + message.
// Objects stay in a table, so the same node always has the same id; the
// generation is drawn afresh for every document, so ids kept across a
// navigation are recognised and refused.

function tvrn2InstallBridge(scope) {
    'use strict';
    if (scope.__tvrn2Bridge)
        return;

    const generation = Math.floor(Math.random() * 4503599627370496) + 1;
    const objects = [undefined];
    const ids = new Map();

    class BridgeError extends Error {
        constructor(code, message) {
            super(message);
            this.code = code;
        }
    }

    function handleFor(object) {
        let id = ids.get(object);
        if (id === undefined) {
            id = objects.length;
            objects.push(object);
            ids.set(object, id);
        }
        return id;
    }

    function encode(value) {
        if (value === undefined)
            return 'u';
        if (value === null)
            return 'n';
        switch (typeof value) {
        case 'boolean':
            return value ? 'b1' : 'b0';
        case 'number':
            return 'd' + String(value);
        case 'string':
            return 's' + value;
        case 'bigint':
            return 's' + String(value);
        case 'symbol':
            return 's' + String(value);
        default:
            return 'h' + generation + ':' + handleFor(value);
        }
    }

    function resolve(objectGeneration, id) {
        if (objectGeneration !== generation)
            throw new BridgeError('stale', 'the object belongs to a document that is no longer loaded');
        if (!(id > 0 && id < objects.length))
            throw new BridgeError('released', 'no object has this handle');
        const object = objects[id];
        if (object === undefined)
            throw new BridgeError('released', 'the object was released');
        return object;
    }

    function decodeArgument(value) {
        if (value !== null && typeof value === 'object' && Array.isArray(value.$h))
            return resolve(value.$h[0], value.$h[1]);
        return value;
    }

    // Text as it can reach the host: the engine ends a string it hands over
    // at its first lone surrogate, which here becomes U+FFFD instead.
    function wellFormed(text) {
        if (typeof text.toWellFormed === 'function')
            return text.toWellFormed();
        return text.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, '\ufffd');
    }

    function answer(action) {
        try {
            return wellFormed(encode(action()));
        } catch (error) {
            if (error instanceof BridgeError)
                return 'e' + error.code + ':' + error.message;
            const text = error && error.message !== undefined ? error.message : String(error);
            return wellFormed('escript:' + (error && error.name ? error.name + ': ' : '') + text);
        }
    }

    function documentObject() {
        return answer(() => scope.document);
    }

    function windowObject() {
        return answer(() => scope);
    }

    function getProperty(objectGeneration, id, name) {
        return answer(() => resolve(objectGeneration, id)[name]);
    }

    function putProperty(objectGeneration, id, name, value) {
        return answer(() => {
            resolve(objectGeneration, id)[name] = decodeArgument(value);
            return undefined;
        });
    }

    function invokeMethod(objectGeneration, id, name, args) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            const method = object[name];
            if (typeof method !== 'function')
                throw new BridgeError('notcallable', '"' + name + '" is not a method of the object');
            return method.apply(object, args.map(decodeArgument));
        });
    }

    function releaseObject(objectGeneration, id) {
        return answer(() => {
            const object = resolve(objectGeneration, id);
            ids.delete(object);
            objects[id] = undefined;
            return undefined;
        });
    }

    // Element walks read what they need of all their tags in one call, and
    // a write or click comes back with the page as it is afterwards, because
    // one round trip per property or per tag would make a form fill crawl.
    // Per tag a group: a record with the collection's length, then a record
    // per element: index, kind, tagName, id, className, type, name, value,
    // checked, readOnly, and for a walk cut short a last record with the
    // index to go on from. Fields end with \x1f, records with \x1e, groups
    // with \x1d. No handles are made, so a walk over a large page leaves
    // nothing behind in the object table.
    const fieldEnd = '\x1f';
    const recordEnd = '\x1e';
    const groupEnd = '\x1d';

    function elementKind(element) {
        switch (String(element.tagName || '').toUpperCase()) {
        case 'INPUT':
            return String(element.type || '').toLowerCase() === 'file' ? 'file' : 'input';
        case 'FORM':
            return 'form';
        case 'SELECT':
            return 'select';
        case 'TEXTAREA':
            return 'textarea';
        case 'IMG':
            return 'image';
        default:
            return 'other';
        }
    }

    function readText(element, name) {
        try {
            const value = element[name];
            if (value === undefined || value === null || typeof value === 'object' || typeof value === 'function')
                return '';
            return String(value).replace(/[\x1d-\x1f]/g, ' ');
        } catch (error) {
            return '';
        }
    }

    // The host keeps no element text longer than this (its widest field), so
    // a page of huge values never comes back as a huge reply.
    const textCut = 255;

    // At least textCut UTF-16 units of a longer text, never half of a
    // surrogate pair: as many UTF-8 bytes or more, so the host's own cut in
    // bytes sees the same text as without this one.
    function cutText(text) {
        if (text.length <= textCut)
            return text;
        const code = text.charCodeAt(textCut - 1);
        return text.slice(0, code >= 0xd800 && code <= 0xdbff ? textCut + 1 : textCut);
    }

    function elementRecord(index, element) {
        const kind = elementKind(element);
        const text = (name) => cutText(readText(element, name));
        // The host reads no more than tag name, id and class of other elements.
        if (kind === 'other')
            return [index, kind, text('tagName'), text('id'), text('className'), '', '', '', '0', '0'].join(fieldEnd) + fieldEnd;
        // An image's address stands in for its value.
        const value = kind === 'image' ? text('src') : text('value');
        return [index, kind, text('tagName'), text('id'), text('className'), text('type'), text('name'), value,
            element.checked === true ? '1' : '0', element.readOnly === true ? '1' : '0'].join(fieldEnd) + fieldEnd;
    }

    // A name as the host compares it loosely: without letter case or trailing
    // blanks. Whatever the host's own rule matches, this matches too.
    function nameKey(text) {
        return wellFormed(text).trimEnd().toLowerCase();
    }

    // One answer covers at most this much of the page: a large page is read
    // in several calls, each of which ends long before the host stops waiting
    // for a page that does not answer, however long the whole walk takes.
    const walkTextBudget = 1 << 20;
    const walkElementBudget = 20000;

    // The tags from tags[fromTag] on, that one from fromIndex on. With a name
    // only the elements that may carry it are described (and the element at
    // fromIndex always), so a fill by name does not copy the whole page.
    // Past the budget the group in hand ends with a record holding just the
    // index to go on from, and no further group follows.
    function walkText(document, tags, fromTag, fromIndex, name) {
        const wanted = name === null ? null : nameKey(name);
        let text = '';
        let visited = 0;
        for (let position = fromTag; position < tags.length; ++position) {
            const collection = document.getElementsByTagName(tags[position]);
            const length = collection.length;
            text += String(length) + fieldEnd + recordEnd;
            const first = position === fromTag ? fromIndex : 0;
            for (let index = first; index < length; ++index) {
                const element = collection[index];
                if (wanted === null || (position === fromTag && index === fromIndex)
                    || nameKey(readText(element, 'name')) === wanted)
                    text += elementRecord(index, element) + recordEnd;
                if ((++visited >= walkElementBudget || text.length >= walkTextBudget) && index + 1 < length)
                    return text + String(index + 1) + fieldEnd + recordEnd + groupEnd;
            }
            text += groupEnd;
        }
        return text;
    }

    // A walk's document: a handle, or null for the page's own.
    function walkDocument(documentArgument) {
        return documentArgument === null ? scope.document : decodeArgument(documentArgument);
    }

    function walkElements(documentArgument, tags, fromTag, fromIndex, name) {
        return answer(() => walkText(walkDocument(documentArgument), tags, fromTag, fromIndex, name));
    }

    function fireEvent(element, type, bubbles) {
        element.dispatchEvent(new Event(type, { bubbles: bubbles }));
    }

    function actOn(element, action, value) {
        switch (action) {
        case 'click':
            element.click();
            break;
        case 'check':
            element.checked = value;
            break;
        case 'value':
            element.value = value;
            fireEvent(element, 'change', true);
            fireEvent(element, 'blur', false);
            break;
        case 'quietValue':
            element.value = value;
            break;
        case 'submit':
            element.submit();
            break;
        default:
            throw new BridgeError('notcallable', 'unknown action ' + action);
        }
    }

    // One write or click on the index-th element of tags[position], as the
    // walk decides, then the walk's reading from that element on, since page
    // scripts may have changed any element. Answers "1" or "0" for the
    // action, a group end, and the reading.
    function actOnElement(documentArgument, tags, position, index, action, value, name) {
        return answer(() => {
            const document = walkDocument(documentArgument);
            const element = document.getElementsByTagName(tags[position])[index];
            let done = false;
            if (element) {
                try {
                    actOn(element, action, value);
                    done = true;
                } catch (error) {
                    if (error instanceof BridgeError)
                        throw error;
                }
            }
            return (done ? '1' : '0') + groupEnd + walkText(document, tags, position, index, name);
        });
    }

    // The host keeps an element's name in a field of this many bytes of
    // UTF-8, cut before a character that does not fit whole.
    const nameBytes = 255;

    // A name exactly as the host compares it (see sameName in
    // FeBrowserElements.cpp): what its field keeps, without trailing blanks,
    // with ASCII letters in lower case and no others changed; a lone
    // surrogate reaches it as U+FFFD (see wellFormed).
    function hostNameKey(text) {
        const name = wellFormed(text);
        let bytes = 0;
        let end = 0;
        while (end < name.length) {
            const code = name.codePointAt(end);
            const size = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
            if (bytes + size > nameBytes)
                break;
            bytes += size;
            end += code < 0x10000 ? 1 : 2;
        }
        return name.slice(0, end).replace(/ +$/, '').replace(/[A-Z]+/g, letters => letters.toLowerCase());
    }

    // False when a name cannot have the key: its first key.length units, ASCII
    // letters folded, are not the key. A name whose key it is starts with it,
    // unless the key holds U+FFFD, which a lone surrogate may have become.
    function mayBeNamed(name, key) {
        if (name.length < key.length)
            return false;
        for (let at = 0; at < key.length; ++at) {
            const code = name.charCodeAt(at);
            const folded = code >= 0x41 && code <= 0x5a ? code + 0x20 : code;
            const wanted = key.charCodeAt(at);
            if (folded !== wanted)
                return wanted === 0xfffd;
        }
        return true;
    }

    // What a fill by name does to one element carrying the name, as the
    // host's walk decides: an action ([name, value]) or null. Counts the
    // element towards the duplicate target and notes a clicked button in
    // `state` ({ matches, clicked }).
    function fillAction(element, kind, plan, state) {
        if (kind === 'form')
            return plan.submit ? ['submit'] : null;
        if (plan.dup !== 0 && ++state.matches !== plan.dup)
            return null;
        if (kind === 'input' && plan.click) {
            const first = !state.clicked;
            state.clicked = true;
            return first ? ['click'] : null;
        }
        if (kind === 'input'
            && readText(element, 'type').replace(/[A-Z]+/g, letters => letters.toLowerCase()) === 'checkbox')
            return ['check', plan.check];
        if (plan.click)
            return null;
        return [kind === 'input' || kind === 'select' ? 'value' : 'quietValue', plan.value];
    }

    function fillActOn(element, action) {
        try {
            actOn(element, action[0], action[1]);
        } catch (error) {
            if (error instanceof BridgeError)
                throw error;
        }
    }

    // The walk of a fill by name over the page as it is: the tags from
    // tags[place[0]] on, that one from index place[1] on, reading every
    // element when the walk reaches it. Answers "" at the end, or after
    // walkElementBudget elements the place to go on from.
    function fillByWalk(document, tags, place, wantedKey, plan) {
        let [position, index, length] = place;
        const state = { matches: place[3], clicked: !!place[4] };
        let visited = 0;
        for (; position < tags.length; ++position, index = 0, length = -1) {
            // A tag's elements are all of one kind but for file inputs,
            // and a pass over elements of no name does nothing.
            if (elementKind({ tagName: tags[position] }) === 'other')
                continue;
            const collection = document.getElementsByTagName(tags[position]);
            if (length < 0)
                length = collection.length;
            for (; index < length; ++index) {
                if (visited++ >= walkElementBudget)
                    return [position, index, length, state.matches, state.clicked ? 1 : 0].join(',');
                const element = collection[index];
                if (!element)
                    break;
                const kind = elementKind(element);
                const name = readText(element, 'name');
                if (kind === 'other' || !mayBeNamed(name, wantedKey) || hostNameKey(name) !== wantedKey)
                    continue;
                const action = fillAction(element, kind, plan, state);
                if (action === null)
                    continue;
                fillActOn(element, action);
                if (index >= collection.length)
                    break;
            }
        }
        return '';
    }

    // What fills by name know of a document between calls. Before it acts,
    // the walk reads only an element's tag, type and name, and which elements
    // a tag has, and only changes to the tree and to attributes can change
    // those (in this world no page script can stand in for a property). So
    // while a document has not changed, each tag's elements by name key, with
    // the collection's length, stand for the walk, and a fill looks its
    // elements up instead of reading the whole page. Any change drops that
    // index. It is made afresh only once a fill ended with the document as it
    // found it and nothing changed until the next one: a page whose scripts
    // answer every fill with a change is walked as before, and not described
    // in vain each time.
    const fillMemory = new WeakMap();

    function changeSeen(memory) {
        memory.tags = null;
        memory.quiet = false;
    }

    // The document's memory with every change so far taken into account; null
    // when it cannot be watched.
    function fillMemoryOf(document) {
        let memory = fillMemory.get(document);
        if (memory === undefined) {
            memory = { tags: null, quiet: false, observer: null };
            try {
                const observer = new MutationObserver(() => changeSeen(memory));
                observer.observe(document, { childList: true, attributes: true, subtree: true });
                memory.observer = observer;
            } catch (error) {
                memory = null;
            }
            fillMemory.set(document, memory);
        }
        if (memory !== null && memory.observer.takeRecords().length > 0)
            changeSeen(memory);
        return memory;
    }

    // Each tag's collection, its length and its elements' indexes by name key
    // (null for tags the walk passes over); null when the tags hold more
    // elements than one call may read.
    function describeTags(document, tags) {
        const described = [];
        let total = 0;
        for (const tag of tags) {
            if (elementKind({ tagName: tag }) === 'other') {
                described.push(null);
                continue;
            }
            const collection = document.getElementsByTagName(tag);
            const length = collection.length;
            total += length;
            if (total > walkElementBudget)
                return null;
            described.push({ collection, length, named: null });
        }
        for (const entry of described) {
            if (entry === null)
                continue;
            const named = new Map();
            for (let index = 0; index < entry.length; ++index) {
                const element = entry.collection[index];
                if (elementKind(element) === 'other')
                    continue;
                const key = hostNameKey(readText(element, 'name'));
                const indexes = named.get(key);
                if (indexes === undefined)
                    named.set(key, [index]);
                else
                    indexes.push(index);
            }
            entry.named = named;
        }
        return described;
    }

    // The walk over the described tags: the same elements in the same order,
    // read as the walk reads them. Should an action change the document, the
    // walk goes on over the page as it is from the next element on, as it
    // would have.
    function fillByIndex(document, memory, tags, described, wantedKey, plan) {
        const state = { matches: 0, clicked: false };
        for (let position = 0; position < tags.length; ++position) {
            const entry = described[position];
            const indexes = entry === null ? undefined : entry.named.get(wantedKey);
            if (indexes === undefined)
                continue;
            for (const index of indexes) {
                const element = entry.collection[index];
                const action = fillAction(element, elementKind(element), plan, state);
                if (action === null)
                    continue;
                fillActOn(element, action);
                if (memory.observer.takeRecords().length === 0)
                    continue;
                changeSeen(memory);
                const place = index + 1 < Math.min(entry.length, entry.collection.length)
                    ? [position, index + 1, entry.length]
                    : [position + 1, 0, -1];
                return fillByWalk(document, tags, place.concat([state.matches, state.clicked ? 1 : 0]),
                    wantedKey, plan);
            }
        }
        return '';
    }

    // A fill by name in one call: the host's walk over the tags from
    // tags[place[0]] on, that one from index place[1] on, making the host's
    // own choices here instead of reading the page and coming back once per
    // action. Every element carrying the name counts towards the duplicate
    // target (plan.dup; 0 takes them all); a chosen input, list, text area,
    // file input or image is written, ticked or clicked (one button a call)
    // as plan says, a form of the name submitted when plan.submit. As in the
    // host's walk, a pass covers the elements its tag had when it began
    // (place[2], or -1: as many as now), reads each one as it is when the walk
    // reaches it, so that whatever page scripts changed in between is seen,
    // and ends when the element just acted on is gone. Answers "" at the end,
    // or after walkElementBudget elements the place to go on from:
    // "tag,index,length,matches,clicked".
    function fillFrom(documentArgument, tags, place, wantedKey, plan) {
        const document = walkDocument(documentArgument);
        const memory = fillMemoryOf(document);
        const fromStart = place[0] === 0 && place[1] === 0 && place[2] < 0 && place[3] === 0 && !place[4];
        if (memory === null || !fromStart)
            return fillByWalk(document, tags, place, wantedKey, plan);
        const tagList = tags.join('\n');
        if (memory.tags === null && memory.quiet) {
            memory.tags = describeTags(document, tags);
            memory.tagList = tagList;
        }
        let rest;
        if (memory.tags !== null && memory.tagList === tagList)
            rest = fillByIndex(document, memory, tags, memory.tags, wantedKey, plan);
        else
            rest = fillByWalk(document, tags, place, wantedKey, plan);
        if (memory.observer.takeRecords().length > 0)
            changeSeen(memory);
        else
            memory.quiet = true;
        return rest;
    }

    function fillByName(documentArgument, tags, place, wantedKey, plan) {
        return answer(() => fillFrom(documentArgument, tags, place, wantedKey, plan));
    }

    // The whole fill in one call, for a host that does not wait for it: the
    // parts of a large page follow one another here instead of one call each.
    function fillAll(documentArgument, tags, place, wantedKey, plan) {
        return answer(() => {
            for (;;) {
                const rest = fillFrom(documentArgument, tags, place, wantedKey, plan);
                if (rest === '')
                    return '';
                place = rest.split(',').map(Number);
            }
        });
    }

    // Settles once the page has been through two rendering updates, so what
    // it shows now has been drawn and handed on to the screen.
    function nextPaint() {
        return new Promise(resolve => requestAnimationFrame(() => requestAnimationFrame(() => resolve(true))));
    }

    Object.defineProperty(scope, '__tvrn2Bridge', {
        value: Object.freeze({
            document: documentObject,
            window: windowObject,
            get: getProperty,
            put: putProperty,
            invoke: invokeMethod,
            release: releaseObject,
            walk: walkElements,
            act: actOnElement,
            fill: fillByName,
            fillAll: fillAll,
            painted: nextPaint,
        }),
    });
}

// Once per document: the host may hand the script in again.
if (!globalThis.__tvrn2Bridge)
    tvrn2InstallBridge(globalThis);
